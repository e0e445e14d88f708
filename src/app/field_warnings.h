#pragma once

#include <string>
#include <vector>

#include "data/flow_field.h"

namespace vortana {

/// What about a field that loaded may make its pictures wrong, one sentence each, for the
/// window's status bar and vortana-render's standard error: an axis of the first slice that
/// decreases (the cell searches assume rising axes) and nodes holding values that are not
/// finite. Empty for a sound field.
std::vector<std::string> FieldWarnings(const FlowField& field);

/// A count with thousands separated by commas: 1204 as "1,204".
std::string GroupedCount(long long count);

}  // namespace vortana
