#include "core/KXException.h"
