// libBrackenrow.so: the tree model every browser of the program stores its
// content in, its node records and their property-list form, and the
// browser: a list view bound to a tree, with its drawing handlers, drags and
// focus history. Only what this header marks with BRACKENROW_EXPORT leaves
// the library.
#pragma once

#define BRACKENROW_EXPORT __attribute__((visibility("default")))

#include "brackenrow/DataTypes.h"
#include "brackenrow/Browser.h"
#include "brackenrow/Utilities.h"
#include "brackenrow/DiskUtilities.h"
#include "brackenrow/Drawing.h"
