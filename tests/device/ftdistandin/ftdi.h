// libftdi1's header for the backend's test build: the stand-in's names, unqualified.
#include "zftdistandin.h"
using namespace ftdistandin;
