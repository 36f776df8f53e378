#include "CVelkAlert.h"
