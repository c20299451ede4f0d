#include "engine/letters.h"
