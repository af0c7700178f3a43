#pragma once

// The exported entry; its declaration is the public header installed for client applications.

#include "quillon/showsetupform.h"

#include <cstdint>
