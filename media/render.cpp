#include "render.h"
