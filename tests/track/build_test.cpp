#include "track_test_util.h"
