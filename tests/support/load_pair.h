#pragma once

#include <memory>
#include <string>

#include "data/flow_field.h"

namespace vortana::testing {

/// FlowField::Load seen as the older tests check it: the field (an empty one after a failure)
/// and the failure's message (empty after a success).
std::unique_ptr<FlowField> LoadPair(const std::string& baseName, std::string& error);

}  // namespace vortana::testing
