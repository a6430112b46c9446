// The rules of the definition checker: what a definition says that the
// launcher's lenient reader passes over in silence, and how each condition
// reads. Windows-free, built natively and for Windows.
#pragma once

#include <string>
#include <vector>

#include "prereq/definition_reader.h"
#include "prereq/xml/attribute_list.h"

namespace kx::prqcheck {

// UTF-8 for printing.
std::string utf8(sax::text_view text);

// Warnings about one element as written (its exact name and attributes):
// names that differ from a known one only in case, unknown elements and
// attributes, numbers that do not parse, list entries without digits,
// condition types and comparison codes that always hold or always fail,
// registry roots the launcher never opens, a CheckSum that is not 32
// hexadecimal digits.
std::vector<std::string> lint_element(sax::text_view name, const sax::AttributeList& attributes);

// Warnings about the raw text that no element shows: attribute values in
// single quotes or without quotes, comments that contain markup, and an
// unterminated comment (which ends the document).
std::vector<std::string> lint_text(sax::text_view text);

// Warnings about the record after the load: names refused as unsafe, a
// definition without a package to run.
std::vector<std::string> lint_record(const prereq::definition_record& record);

// One line that tells what a "condition" tests, as the launcher reads it
// ("registry value HKEY_LOCAL_MACHINE\...\Version, compared as a version:
// less than 10.0").
std::string describe_condition(const sax::AttributeList& attributes);

// The same for an "operatingsystemcondition" ("Windows 6.1, platform 2,
// service pack at least 1").
std::string describe_os_condition(const sax::AttributeList& attributes);

}  // namespace kx::prqcheck
