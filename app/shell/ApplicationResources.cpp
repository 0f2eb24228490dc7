#include "ApplicationResources.h"

ApplicationResourceInfo* AppResources = nullptr;
