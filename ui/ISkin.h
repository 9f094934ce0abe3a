// The skin interface offered to modules lives in the SDK; the skin manager
// implements it.
#pragma once

#include "sonvara/ISkin.h"
