#include "balloon/Player.h"
