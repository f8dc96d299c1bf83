#include "recording.h"
