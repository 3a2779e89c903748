#pragma once
// The ternary coding of an evidence value, as the analysis core defines it.
#include "quarnel/feature.h"

namespace quarnel {

using feature::CodeValue;

}  // namespace quarnel
