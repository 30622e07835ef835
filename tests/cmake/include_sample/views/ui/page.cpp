// The daily list reaching the shell: the include check must refuse it.
#include "app/main_window_iface.h"
#include "views/day_search.h"
