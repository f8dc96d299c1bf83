#include "partial_plot.h"
