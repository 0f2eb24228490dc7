// The project globals: which files a project compile parses, the layout of a
// project pane's header toolbar and tree, and the build switches. The
// switches that other units read already live beside their readers and are
// gathered here; AppResources (ApplicationResources.h) and LeopardGUI
// (TDemoApplicationUnit.h) belong to the application.
#pragma once

#include "EditorUtilities.h"  // kDevelopmentFeatureBooks
#include "MacTypes.h"
#include "MacWindows.h"
#include "SCRIPTS.h"  // kDevelopmentFeatureInlineErrors
#include "ShortString.h"

// The HTML viewer is not built into this version.
constexpr Boolean kDevelopmentFeatureHTMLViewer = false;
// The version the program is deployed as (2.0: no transfers window).
constexpr float kDeploymentVersion = 2.0f;

// The file's script language when a compile or a run knows it: "php",
// "perl" or "ruby" (and "html" with inline errors built in); empty for any
// other file, including files of no known language.
Str63 GetSupportedScriptLanguage(const Str63& fileName);

// A project pane's header toolbar 'TOOL'/129 gets the height 18 and the
// light-gray style; its tree 'BROW'/128 moves up by 2 and grows by 2.
void ResizeProjectPane(WindowRef window);
