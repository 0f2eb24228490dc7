// Internal to the platform library: what the navigation dialogs ask of the
// display host. The headless host answers by default; the GTK host installs
// its own presenter when it starts.
#pragma once

#include <string>
#include <vector>

#include "Navigation.h"

enum class NavKind { GetFile, ChooseFile, ChooseFolder, PutFile, AskSaveChanges, AskReview };

struct NavRequest {
  NavDialogRef dialog = nullptr;
  NavKind kind = NavKind::GetFile;
  std::string title;  // UTF-8, the kind's standard title when the caller gave none
  std::string clientName;
  std::string saveFileName;
  std::string message;
  std::string actionLabel;
  std::string cancelLabel;
  NavDialogOptionFlags optionFlags = 0;
  WindowModality modality = kWindowModalityAppModal;
  WindowRef parent = nullptr;  // set for a sheet only
  std::string location;        // the folder to open in, empty: the host's choice
  UInt32 preferenceKey = 0;
  int width = 0, height = 0;   // the size remembered for the key, 0: the host's choice
  UInt32 documentCount = 0;
  NavAskSaveChangesAction saveChangesAction = kNavSaveChangesOther;
  WindowRef dialogWindow = nullptr;  // holds the custom area
  HIViewRef customControl = nullptr;
  CGSize customSize{0, 0};
};

struct NavAnswer {
  NavUserAction action = kNavUserActionCancel;
  std::vector<std::string> paths;  // chosen items; the folder of a save
  std::string saveName;            // UTF-8
  bool replacing = false;
  int width = 0, height = 0;       // the dialog's size when it closed, 0: unknown
};

// The names of the kinds as the headless log gives them.
const char* NavKindName(NavKind kind);
// Whether the kind offers the action (Cancel always).
bool NavKindOffers(NavKind kind, NavUserAction action);
// A folder whose name ends in ".qvproj" is a document.
bool NavIsDocumentPackage(const std::string& path);

struct NavPresenter {
  // Application-modal: a nested run of the loop; fills the answer.
  void (*runModal)(const NavRequest& request, NavAnswer* answer);
  // A sheet: shows it and returns; the answer comes later through
  // NavDialogAnswered. False when it cannot be shown.
  bool (*showSheet)(const NavRequest& request);
  // Takes a sheet down without an answer (the dialog was disposed).
  void (*dismiss)(NavDialogRef dialog);
};
// Nil restores the headless presenter.
void NavigationSetPresenter(const NavPresenter* presenter);
// A sheet was answered: the dialog hears the user action and terminates.
void NavDialogAnswered(NavDialogRef dialog, const NavAnswer& answer);

// host/headless: the scripted presenter.
extern const NavPresenter kHeadlessNavPresenter;
