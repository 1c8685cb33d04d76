#include "FakePadInput.h"
