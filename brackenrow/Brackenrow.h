// libBrackenrow.so: the tree model every browser of the program stores its
// content in, its node records and their property-list form. Only what this
// header marks with BRACKENROW_EXPORT leaves the library.
#pragma once

#define BRACKENROW_EXPORT __attribute__((visibility("default")))

#include "brackenrow/DataTypes.h"
#include "brackenrow/Browser.h"
#include "brackenrow/Utilities.h"
#include "brackenrow/DiskUtilities.h"
