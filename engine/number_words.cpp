#include "engine/number_words.h"
