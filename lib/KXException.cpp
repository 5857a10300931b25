#include "KXException.h"
