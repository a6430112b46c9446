#include "launcher/instance_detection.h"

namespace kx {

namespace {

constexpr int kLogModeAllInstances = 4;
constexpr int kMediaFormatSingleInstance = 2;

}  // namespace

bool IsUninstallEntryName(string::view name) {
  return !name.empty() && name.find(KXT('\\')) == string::view::npos;
}

bool InstanceChoiceWanted(const SetupSettings& s) {
  if (s.HideUsd || s.Silent || s.Auto || !s.InstallGuid.empty()) return false;
  return s.Instances.size() >= (s.InstanceModeAll ? 1u : 2u);
}

void ApplyInstanceRule(SetupSettings& s, const std::vector<UninstallEntry>& entries) {
  s.Instances.clear();
  if (!s.ProductGuid.empty()) {
    for (const UninstallEntry& entry : entries) {
      // string compares without regard to case.
      if (!entry.product_guid.empty() && entry.product_guid == s.ProductGuid &&
          IsUninstallEntryName(entry.name.as_view()))
        s.Instances.push_back(entry.name);
    }
  }
  s.InstanceModeAll =
      s.LogMode == kLogModeAllInstances && (s.MediaFormat & kMediaFormatSingleInstance) == 0;
  s.OfferInstanceChoice = InstanceChoiceWanted(s);
  if (!s.OfferInstanceChoice && !s.InstanceModeAll && !s.Instances.empty() && s.InstallGuid.empty())
    s.InstallGuid = s.Instances.front();
}

}  // namespace kx
