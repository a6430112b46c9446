// An insertion-ordered map keyed by case-insensitive names: the container of
// the INI model's sections and entries.
#pragma once

#include <algorithm>
#include <cstddef>
#include <map>
#include <utility>
#include <vector>

#include "base/char_traitsi.h"
#include "base/stringx.h"

namespace kx {

// Orders names case-insensitively (A-Z fold onto a-z), as the index of
// every name map in the program does.
struct less_i {
  using is_transparent = void;
  bool operator()(string::view a, string::view b) const noexcept {
    return compare_i(a.data(), a.size(), b.data(), b.size()) < 0;
  }
};

// A map from case-insensitive names to T.
template <class T>
using map_i = std::map<string, T, less_i>;

// Pairs of (key, T) kept in insertion order, with an index from key to
// position. Keys are unique: a second insert of an existing key (in any
// case) leaves the first in place.
template <class Key, class T, class Less>
class _vector_map {
 public:
  using value_type = std::pair<Key, T>;
  using iterator = typename std::vector<value_type>::iterator;
  using const_iterator = typename std::vector<value_type>::const_iterator;
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  std::size_t size() const noexcept { return items_.size(); }
  bool empty() const noexcept { return items_.empty(); }
  iterator begin() noexcept { return items_.begin(); }
  iterator end() noexcept { return items_.end(); }
  const_iterator begin() const noexcept { return items_.begin(); }
  const_iterator end() const noexcept { return items_.end(); }

  // The pair at `position` (in insertion order); position < size().
  value_type& at(std::size_t position) { return items_.at(position); }
  const value_type& at(std::size_t position) const { return items_.at(position); }

  // The position of `key`, or npos.
  template <class K>
  std::size_t find(const K& key) const {
    const auto it = index_.find(key);
    return it == index_.end() ? npos : static_cast<std::size_t>(it->second);
  }
  template <class K>
  bool contains(const K& key) const {
    return index_.find(key) != index_.end();
  }

  // The value of `key`, or nullptr. The pointer is valid until the next
  // insert, erase or sort.
  template <class K>
  T* get(const K& key) {
    const std::size_t at = find(key);
    return at == npos ? nullptr : &items_[at].second;
  }
  template <class K>
  const T* get(const K& key) const {
    const std::size_t at = find(key);
    return at == npos ? nullptr : &items_[at].second;
  }

  // Appends (key, value) unless the key is present; either way returns the
  // element that holds the key and whether it was added.
  std::pair<T*, bool> insert(const Key& key, T value) {
    const auto [it, added] = index_.emplace(key, static_cast<unsigned long>(items_.size()));
    if (!added) return {&items_[it->second].second, false};
    try {
      items_.emplace_back(key, std::move(value));
    } catch (...) {
      index_.erase(it);
      throw;
    }
    return {&items_.back().second, true};
  }

  // Removes `key`; later pairs move up one place. False when missing.
  template <class K>
  bool erase(const K& key) {
    const auto it = index_.find(key);
    if (it == index_.end()) return false;
    const unsigned long at = it->second;
    index_.erase(it);
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(at));
    for (auto& [name, position] : index_)
      if (position > at) --position;
    return true;
  }

  void clear() noexcept {
    index_.clear();
    items_.clear();
  }

  // Gives the element of `from` the key `to`, keeping its position. False
  // when `from` is missing or another element already holds `to`; a key
  // that differs only in case is re-spelt.
  template <class K>
  bool rename(const K& from, const Key& to) {
    const auto it = index_.find(from);
    if (it == index_.end()) return false;
    const auto other = index_.find(to);
    if (other != index_.end() && other != it) return false;
    // Copies first, so that a failed allocation leaves the map as it was.
    Key for_index(to), for_item(to);
    auto node = index_.extract(it);
    node.key() = std::move(for_index);
    items_[node.mapped()].first = std::move(for_item);
    index_.insert(std::move(node));
    return true;
  }

  // Moves the element of `key` right behind the element of `after`. False
  // when either is missing; moving an element behind itself changes nothing.
  template <class K1, class K2>
  bool move_after(const K1& key, const K2& after) {
    const std::size_t from = find(key), anchor = find(after);
    if (from == npos || anchor == npos) return false;
    if (from == anchor) return true;
    if (from < anchor)
      std::rotate(items_.begin() + static_cast<std::ptrdiff_t>(from),
                  items_.begin() + static_cast<std::ptrdiff_t>(from + 1),
                  items_.begin() + static_cast<std::ptrdiff_t>(anchor + 1));
    else
      std::rotate(items_.begin() + static_cast<std::ptrdiff_t>(anchor + 1),
                  items_.begin() + static_cast<std::ptrdiff_t>(from),
                  items_.begin() + static_cast<std::ptrdiff_t>(from + 1));
    reindex();
    return true;
  }

  // Orders the pairs by key (case-insensitively); true when the order
  // changed.
  bool sort() {
    const Less less;
    const auto by_key = [&less](const value_type& a, const value_type& b) {
      return less(a.first, b.first);
    };
    if (std::is_sorted(items_.begin(), items_.end(), by_key)) return false;
    std::sort(items_.begin(), items_.end(), by_key);
    reindex();
    return true;
  }

 private:
  void reindex() {
    for (std::size_t i = 0; i < items_.size(); ++i)
      index_.find(items_[i].first)->second = static_cast<unsigned long>(i);
  }

  std::vector<value_type> items_;
  std::map<Key, unsigned long, Less> index_;
};

// The INI model's container: `_vector_map` keyed by kx::string, indexed
// case-insensitively.
template <class T>
class vector_map_i : public _vector_map<string, T, less_i> {};

}  // namespace kx
