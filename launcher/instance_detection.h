// The rule that turns the product's uninstall entries into its installed
// instances: which entries belong to the product, whether the user is to
// choose among them, and which one is maintained without asking.
//
// Windows-free: the registry's answers come in as a list of entries
// (gathered by launcher/installed_instances.h), so the rule is tested as
// tables.
#pragma once

#include <vector>

#include "base/stringx.h"
#include "launcher/setup_settings.h"

namespace kx {

// One subkey of the uninstall key as the registry enumerated it.
struct UninstallEntry {
  // The subkey's name: an install GUID when the entry is one of ours.
  string name;
  // Its "ProductGuid" text value; empty when the value is missing, empty or
  // not a readable text.
  string product_guid;
};

// Whether `name` can stand for one uninstall entry: not empty and without
// a backslash, so that a key path built from it never reaches a nested key
// or the uninstall key itself. Names of entries and "ig" values are checked
// with it before any registry path is made from them.
bool IsUninstallEntryName(string::view name);

// Whether the user is to choose the instance: never with HideUsd, Silent or
// Auto, nor when InstallGuid already names one; otherwise with at least one
// instance when InstanceModeAll is set (a new instance is then offered
// beside them), else with at least two.
bool InstanceChoiceWanted(const SetupSettings& s);

// Fills Instances with the names of the entries whose product GUID equals
// s.ProductGuid without regard to case, in the order given; an empty
// ProductGuid, or an entry without one, matches nothing, so that unrelated
// programs never count as instances. Then sets InstanceModeAll (LogMode 4
// with bit 1 of MediaFormat clear) and OfferInstanceChoice
// (InstanceChoiceWanted); when neither is set and InstallGuid is empty, the
// first instance becomes InstallGuid.
void ApplyInstanceRule(SetupSettings& s, const std::vector<UninstallEntry>& entries);

}  // namespace kx
