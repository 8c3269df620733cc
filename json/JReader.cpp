// Placeholder until the JSON reader is written.
#include "json/JReader.h"
