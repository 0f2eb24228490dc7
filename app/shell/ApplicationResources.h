// The resources every window and pane of the program shares, made once at
// start-up by the application's LoadResources and never freed.
#pragma once

#include "Platform.h"

class TSyntaxCollection;
class TCodeSenseLibrary;
class TFileSystem;
class TPropertyList;

// A field whose resource could not be made stays null.
struct ApplicationResourceInfo {
  TSyntaxCollection* SyntaxCollection = nullptr;
  TCodeSenseLibrary* CodeSense = nullptr;
  TFileSystem* FileSystem = nullptr;
  TPropertyList* ToolbarPreferences = nullptr;
  MenuRef ProjectContextualMenu = nullptr;
  IBNibRef PreferencesNib = nullptr;
  IBNibRef ProjectInfoNib = nullptr;
  IBNibRef FindNib = nullptr;
  IBNibRef FileInfoNib = nullptr;
  IBNibRef MacroEditorNib = nullptr;
  IBNibRef BookmarkEditorNib = nullptr;
  IBNibRef SnippetEditorNib = nullptr;
  IBNibRef PagesNib = nullptr;
  IBNibRef CSSEditorNib = nullptr;
  IBNibRef BooksNib = nullptr;
  CGImageRef SelectionImage = nullptr;
};

// Null until the application has loaded its resources.
extern ApplicationResourceInfo* AppResources;
