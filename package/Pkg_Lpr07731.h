#pragma once

// The price-list module as the suite sees it: the entries of every module (ModuleKit).
#include "module/ModuleKit.h"
