#include "platform/inet_url.h"

#include <utility>

#include "base/secret_wipe.h"

namespace kx {

namespace {

bool starts_with_i(std::wstring_view text, std::wstring_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    wchar_t c = text[i];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

int hex_value(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

bool is_control(std::uint32_t c) {
  return c < 0x20 || c == 0x7F;
}

void append_code_point(std::wstring& out, std::uint32_t c) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (c >> 10));
      out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
      return;
    }
  }
  out += static_cast<wchar_t>(c);
}

// The byte sequence of percent escapes and plain characters, decoded as
// UTF-8. Plain characters that are not ASCII are taken as they are.
class credential_decoder {
 public:
  explicit credential_decoder(std::wstring& out) : out_(out) {}

  bool byte(std::uint8_t b) {
    if (pending_ == 0) {
      if (b < 0x80) return plain(b);
      if (b >= 0xC2 && b <= 0xDF) return start(b & 0x1F, 1, 0x80);
      if (b >= 0xE0 && b <= 0xEF) return start(b & 0x0F, 2, 0x800);
      if (b >= 0xF0 && b <= 0xF4) return start(b & 0x07, 3, 0x10000);
      return false;
    }
    if ((b & 0xC0) != 0x80) return false;
    value_ = (value_ << 6) | (b & 0x3F);
    if (--pending_ > 0) return true;
    if (value_ < minimum_ || value_ > 0x10FFFF || (value_ >= 0xD800 && value_ <= 0xDFFF))
      return false;
    append_code_point(out_, value_);
    return true;
  }

  bool plain(std::uint32_t c) {
    if (pending_ != 0 || is_control(c)) return false;
    append_code_point(out_, c);
    return true;
  }

  bool finished() const { return pending_ == 0; }

 private:
  bool start(std::uint32_t bits, int more, std::uint32_t minimum) {
    value_ = bits;
    pending_ = more;
    minimum_ = minimum;
    return true;
  }

  std::wstring& out_;
  std::uint32_t value_ = 0;
  std::uint32_t minimum_ = 0;
  int pending_ = 0;
};

// Appends the decoded `text` to `out`; false at the first fault.
bool decode_escapes(std::wstring_view text, std::wstring& out) {
  credential_decoder decoder(out);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'%') {
      if (!decoder.plain(static_cast<std::uint32_t>(text[i]))) return false;
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int high = hex_value(text[i + 1]);
    const int low = hex_value(text[i + 2]);
    if (high < 0 || low < 0) return false;
    if (!decoder.byte(static_cast<std::uint8_t>(high * 16 + low))) return false;
    i += 2;
  }
  return decoder.finished();
}

bool valid_host(std::wstring_view host) {
  if (host.empty()) return false;
  for (const wchar_t c : host)
    if (is_control(static_cast<std::uint32_t>(c)) || c == L' ' || c == L'%' || c == L'"' ||
        c == L'<' || c == L'>' || c == L'^' || c == L'`' || c == L'{' || c == L'|' || c == L'}')
      return false;
  return true;
}

// The port after the host, or the scheme's; false when it is not a number
// from 1 to 65535.
bool parse_port(std::wstring_view text, std::uint16_t& port) {
  if (text.empty() || text.size() > 5) return false;
  std::uint32_t value = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    value = value * 10 + static_cast<std::uint32_t>(c - L'0');
  }
  if (value == 0 || value > 65535) return false;
  port = static_cast<std::uint16_t>(value);
  return true;
}

// Splits "host[:port]" (an IPv6 literal in brackets).
inet_url_error split_host_port(std::wstring_view text, inet_url& out) {
  std::wstring_view host = text;
  std::wstring_view port;
  if (!text.empty() && text.front() == L'[') {
    const std::size_t close = text.find(L']');
    if (close == std::wstring_view::npos) return inet_url_error::host;
    host = text.substr(0, close + 1);
    const std::wstring_view rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != L':') return inet_url_error::host;
      port = rest.substr(1);
      if (port.empty()) return inet_url_error::port;
    }
  } else if (const std::size_t colon = text.find(L':'); colon != std::wstring_view::npos) {
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (port.empty()) return inet_url_error::port;
  }
  if (!valid_host(host) || host == L"[]") return inet_url_error::host;
  out.host.assign(host);
  out.port = out.secure ? 443 : 80;
  if (!port.empty() && !parse_port(port, out.port)) return inet_url_error::port;
  return inet_url_error::none;
}

// The work of split_inet_url.
inet_url_error split_parts(std::wstring_view url, inet_url& out) {
  out = inet_url{};
  std::size_t at = 0;
  if (starts_with_i(url, L"https://")) {
    out.secure = true;
    at = 8;
  } else if (starts_with_i(url, L"http://")) {
    at = 7;
  } else {
    return inet_url_error::scheme;
  }
  const std::wstring_view rest = url.substr(at);

  // The authority ends at the first '/', '?' or '#'. The user-info, if any,
  // ends at the last '@' before that; only after it does '\' end the host.
  std::size_t end = rest.find_first_of(L"/?#");
  if (end == std::wstring_view::npos) end = rest.size();
  const std::size_t user_end = rest.substr(0, end).rfind(L'@');
  std::size_t host_start = 0;
  if (user_end != std::wstring_view::npos) {
    out.has_credentials = true;
    const std::wstring_view info = rest.substr(0, user_end);
    const std::size_t colon = info.find(L':');
    if (!decode_url_credential(info.substr(0, colon), out.user)) return inet_url_error::credentials;
    if (colon != std::wstring_view::npos &&
        !decode_url_credential(info.substr(colon + 1), out.password))
      return inet_url_error::credentials;
    host_start = user_end + 1;
  }
  const std::size_t backslash = rest.find(L'\\', host_start);
  if (backslash != std::wstring_view::npos && backslash < end) end = backslash;
  if (const inet_url_error e = split_host_port(rest.substr(host_start, end - host_start), out);
      e != inet_url_error::none)
    return e;

  std::wstring_view tail = rest.substr(end);
  if (const std::size_t hash = tail.find(L'#'); hash != std::wstring_view::npos)
    tail = tail.substr(0, hash);
  if (tail.empty() || tail.front() == L'?') out.object = L"/";
  for (const wchar_t c : tail) {
    if (is_control(static_cast<std::uint32_t>(c))) return inet_url_error::object;
    if (c == L'\\')
      out.object += L'/';
    else if (c == L' ')
      out.object += L"%20";
    else
      out.object += c;
  }
  return inet_url_error::none;
}

}  // namespace

inet_url::inet_url(inet_url&& other) noexcept
    : secure(other.secure),
      host(std::move(other.host)),
      port(other.port),
      object(std::move(other.object)),
      has_credentials(other.has_credentials),
      user(std::move(other.user)),
      password(std::move(other.password)) {
  // A short text stays in the moved-from string's own storage.
  other.wipe_credentials();
}

inet_url& inet_url::operator=(const inet_url& other) {
  if (this == &other) return *this;
  // Copying over a longer value would keep its tail in the storage.
  wipe_credentials();
  secure = other.secure;
  host = other.host;
  port = other.port;
  object = other.object;
  has_credentials = other.has_credentials;
  user = other.user;
  password = other.password;
  return *this;
}

inet_url& inet_url::operator=(inet_url&& other) noexcept {
  if (this == &other) return *this;
  wipe_credentials();
  secure = other.secure;
  host = std::move(other.host);
  port = other.port;
  object = std::move(other.object);
  has_credentials = other.has_credentials;
  user.swap(other.user);
  password.swap(other.password);
  other.wipe_credentials();
  return *this;
}

inet_url::~inet_url() {
  wipe_credentials();
}

void inet_url::wipe_credentials() noexcept {
  wipe_secret(user);
  wipe_secret(password);
}

bool decode_url_credential(std::wstring_view text, std::wstring& out) {
  wipe_secret(out);
  // Decoding never lengthens the text, so the value is built in one
  // buffer: no copy of a half-decoded password is left in freed memory.
  out.reserve(text.size());
  if (decode_escapes(text, out)) return true;
  wipe_secret(out);
  return false;
}

bool is_https_downgrade(bool asked_secure, std::wstring_view final_url) noexcept {
  return asked_secure && !starts_with_i(final_url, L"https://");
}

inet_url_error split_inet_url(std::wstring_view url, inet_url& out) {
  const inet_url_error error = split_parts(url, out);
  // A refused address leaves no credentials behind.
  if (error != inet_url_error::none) out.wipe_credentials();
  return error;
}
}  // namespace kx
