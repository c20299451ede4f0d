#include "workbook/conversion_run.h"
