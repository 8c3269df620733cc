// Placeholder until the JSON value is written.
#include "json/JValue.h"
