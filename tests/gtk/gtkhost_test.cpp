// The desktop host on a real (virtual) display: windows shown as GtkWindows,
// GTK input reaching the views as Carbon events, the menu bar built from the
// menu model, alerts as message dialogs, and a screenshot a person can look at.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cairo.h>

#include <map>
#include <string>
#include <vector>

#include "CFString.h"
#include "Dialogs.h"
#include "GtkTestEvents.h"
#include "HIView.h"
#include "Host.h"
#include "MacWindows.h"
#include "Menus.h"
#include "gtk/GtkHost.h"

namespace {

// Constant strings for the test's lifetime.
CFStringRef S(const char* s) {
  static auto* strings = new std::map<std::string, CFStringRef>;  // kept for the whole run
  CFStringRef& string = (*strings)[s];
  if (string == nullptr) string = CFStringCreateWithCString(nullptr, s, kCFStringEncodingUTF8);
  return string;
}

std::string Text(CFStringRef s) {
  std::string out = GtkHostUTF8(s);
  if (s) CFRelease(s);
  return out;
}

// What the handlers heard.
struct Heard {
  std::vector<UInt32> commands;
  std::vector<UInt32> keyCodes;
  std::vector<UInt32> keyModifiers;
  int boundsChanged = 0;
};

OSStatus Listen(EventHandlerCallRef, EventRef e, void* data) {
  auto* heard = static_cast<Heard*>(data);
  if (GetEventClass(e) == kEventClassCommand) {
    HICommand command{};
    GetEventParameter(e, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    // The test's own commands are taken; the standard ones go on.
    if (command.commandID == kHICommandClose) return eventNotHandledErr;
    heard->commands.push_back(command.commandID);
    return noErr;
  }
  if (GetEventClass(e) == kEventClassKeyboard) {
    UInt32 code = 0, modifiers = 0;
    GetEventParameter(e, kEventParamKeyCode, typeUInt32, nullptr, sizeof code, nullptr, &code);
    GetEventParameter(e, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof modifiers, nullptr, &modifiers);
    heard->keyCodes.push_back(code);
    heard->keyModifiers.push_back(modifiers);
    return eventNotHandledErr;
  }
  if (GetEventClass(e) == kEventClassWindow) ++heard->boundsChanged;
  return eventNotHandledErr;
}

class GtkHostTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(kHostGtk, HostInitialize(nullptr, nullptr)); }

  void SetUp() override {
    // The menu bar: File (Close, Ctrl+W), Edit (Copy, Ctrl+C, which the
    // enable pass turns off).
    CreateNewMenu(128, 0, &file_);
    SetMenuTitleWithCFString(file_, S("File"));
    AppendMenuItemTextWithCFString(file_, S("Save Copy"), 0, 'svcp', nullptr);
    AppendMenuItemTextWithCFString(file_, S("Close"), 0, kHICommandClose, nullptr);
    SetItemCmd(file_, 2, 'W');
    CreateNewMenu(129, 0, &edit_);
    SetMenuTitleWithCFString(edit_, S("Edit"));
    AppendMenuItemTextWithCFString(edit_, S("Copy"), 0, 'copy', nullptr);
    SetItemCmd(edit_, 1, 'C');
    ClearMenuBar();
    InsertMenu(file_, 0);
    InsertMenu(edit_, 0);
    DrawMenuBar();

    Rect bounds{120, 140, 400, 560};
    ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass,
                                     kWindowStandardDocumentAttributes | kWindowStandardHandlerAttribute |
                                         kWindowCompositingAttribute,
                                     &bounds, &window_));
    SetWindowTitleWithCFString(window_, S("Controls"));
    static const EventTypeSpec kTypes[] = {{kEventClassCommand, kEventCommandProcess},
                                           {kEventClassKeyboard, kEventRawKeyDown},
                                           {kEventClassWindow, kEventWindowBoundsChanged}};
    InstallWindowEventHandler(window_, Listen, 3, kTypes, &heard_, nullptr);
    MakeControls();
    ShowWindow(window_);
    area_ = GtkHostContentWidget(window_);
    top_ = GtkHostWindowWidget(window_);
    ASSERT_NE(nullptr, area_);
    ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(area_) && gtk_widget_get_allocated_height(area_) > 1; }));
    Pump();
  }

  void TearDown() override {
    if (IsValidWindowPtr(window_)) DisposeWindow(window_);
    ClearMenuBar();
    DrawMenuBar();
    ReleaseMenu(file_);
    ReleaseMenu(edit_);
    Pump();
  }

  // Counts the content area's drawings into *draws (disconnected by its address).
  void CountDraws(int* draws) {
    g_signal_connect_after(area_, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t*, gpointer n) -> gboolean {
                             ++*static_cast<int*>(n);
                             return FALSE;
                           }),
                           draws);
  }

  void MakeControls() {
    Rect r{20, 20, 40, 220};
    CreateStaticTextControl(window_, &r, S("Name of the new project:"), nullptr, &label_);
    r = Rect{44, 20, 66, 300};
    CreateEditUnicodeTextControl(window_, &r, S(""), false, nullptr, &edit_text_);
    r = Rect{80, 20, 98, 300};
    CreateCheckBoxControl(window_, &r, S("Open it in a new window"), 0, true, &check_);
    r = Rect{110, 20, 130, 220};
    CreatePopupButtonControl(window_, &r, S("Kind:"), -12345, false, 50, 0, 0, &popup_);
    MenuRef kinds = nullptr;
    CreateNewMenu(200, 0, &kinds);
    AppendMenuItemTextWithCFString(kinds, S("Web site"), 0, 0, nullptr);
    AppendMenuItemTextWithCFString(kinds, S("Library"), 0, 0, nullptr);
    SetControlData(popup_, 0, kControlPopupButtonMenuRefTag, sizeof kinds, &kinds);
    SetControl32BitMaximum(popup_, 2);
    SetControl32BitValue(popup_, 1);
    ReleaseMenu(kinds);
    r = Rect{236, 320, 256, 400};
    CreatePushButtonControl(window_, &r, S("Create"), &button_);
    SetControlCommandID(button_, 'okay');
    r = Rect{236, 220, 256, 300};
    CreatePushButtonControl(window_, &r, S("Cancel"), &cancel_);
    SetControlCommandID(cancel_, 'cncl');
  }

  CGPoint CentreOf(ControlRef c) {
    HIRect frame{};
    HIViewGetFrame(c, &frame);
    return CGPoint{frame.origin.x + frame.size.width / 2, frame.origin.y + frame.size.height / 2};
  }

  MenuRef file_ = nullptr;
  MenuRef edit_ = nullptr;
  WindowRef window_ = nullptr;
  GtkWidget* area_ = nullptr;
  GtkWidget* top_ = nullptr;
  ControlRef label_ = nullptr, edit_text_ = nullptr, check_ = nullptr, popup_ = nullptr, button_ = nullptr,
             cancel_ = nullptr;
  Heard heard_;
};

TEST_F(GtkHostTest, WindowShowsTitleBoundsAndModifiedMark) {
  EXPECT_STREQ("Controls", gtk_window_get_title(GTK_WINDOW(top_)));
  EXPECT_EQ(420, gtk_widget_get_allocated_width(area_));
  EXPECT_EQ(280, gtk_widget_get_allocated_height(area_));
  SetWindowModified(window_, true);
  EXPECT_STREQ("*Controls", gtk_window_get_title(GTK_WINDOW(top_)));
  SetWindowModified(window_, false);
  EXPECT_STREQ("Controls", gtk_window_get_title(GTK_WINDOW(top_)));
  // Global positions are the window's place on the screen (content below the bar).
  const int barHeight = gtk_widget_get_allocated_height(GtkHostMenuBarWidget(window_));
  MoveWindow(window_, 200, 150, false);
  EXPECT_TRUE(PumpUntil([&] {
    gint x = 0, y = 0;
    gtk_window_get_position(GTK_WINDOW(top_), &x, &y);
    return x == 200 && y == 150 - barHeight;
  }));
  gtk_window_move(GTK_WINDOW(top_), 240, 100);
  EXPECT_TRUE(PumpUntil([&] {
    Rect r{};
    GetWindowBounds(window_, kWindowContentRgn, &r);
    return r.left == 240 && r.top == 100 + barHeight && r.right - r.left == 420;
  }));
  // What the views invalidate is drawn again.
  int draws = 0;
  CountDraws(&draws);
  Pump();
  draws = 0;
  SetControl32BitValue(check_, 1);
  EXPECT_TRUE(PumpUntil([&] { return draws > 0; }));
  g_signal_handlers_disconnect_by_data(area_, &draws);
  HideWindow(window_);
  EXPECT_FALSE(gtk_widget_get_visible(top_));
  ShowWindow(window_);
  EXPECT_TRUE(gtk_widget_get_visible(top_));
}

// Work done in pieces from a timer that is always due (a large file's parse)
// leaves the window drawing between the pieces.
TEST_F(GtkHostTest, AWindowDrawsWhileATimerIsAlwaysDue) {
  int draws = 0;
  CountDraws(&draws);
  Pump();
  int firings = 0;
  EventLoopTimerRef timer = nullptr;
  ASSERT_EQ(noErr, InstallEventLoopTimer(
                       GetMainEventLoop(), 0, 0.000001,
                       [](EventLoopTimerRef, void* n) {
                         ++*static_cast<int*>(n);
                         g_usleep(2000);  // a piece of the work
                       },
                       &firings, &timer));
  for (int turn = 0; turn < 200 && firings < 3; ++turn) RunCurrentEventLoop(0.005);
  ASSERT_GE(firings, 3);
  draws = 0;
  const int before = firings;
  SetControl32BitValue(check_, 1);
  for (int turn = 0; turn < 200 && draws == 0; ++turn) RunCurrentEventLoop(0.005);
  const int during = firings - before;
  for (int turn = 0; turn < 200 && firings - before < 3; ++turn) RunCurrentEventLoop(0.005);
  RemoveEventLoopTimer(timer);
  g_signal_handlers_disconnect_by_data(area_, &draws);
  EXPECT_GT(draws, 0) << "after " << during << " firings";
  EXPECT_GE(firings - before, 3) << "the timer goes on after the drawing";
}

TEST_F(GtkHostTest, ClickOnPushButtonSendsItsCommandOnce) {
  CGPoint p = CentreOf(button_);
  Click(area_, p.x, p.y);
  EXPECT_EQ(std::vector<UInt32>{'okay'}, heard_.commands);
  // A press that leaves the button before the release is no click.
  PutButton(area_, GDK_BUTTON_PRESS, p.x, p.y, 1, 0);
  PutMotion(area_, 5, 5, GDK_BUTTON1_MASK);
  PutButton(area_, GDK_BUTTON_RELEASE, 5, 5, 1, GDK_BUTTON1_MASK);
  Pump();
  EXPECT_EQ(1u, heard_.commands.size());
  // Clicks on the check box toggle it; a click on the bare content does nothing.
  p = CentreOf(check_);
  Click(area_, p.x, p.y);
  EXPECT_EQ(1, GetControl32BitValue(check_));
  Click(area_, 400, 180);
  EXPECT_EQ(1u, heard_.commands.size());
}

OSStatus RecordArea(EventHandlerCallRef, EventRef e, void* data) {
  static_cast<std::string*>(data)->push_back(GetEventKind(e) == kEventControlTrackingAreaEntered ? 'E' : 'X');
  return noErr;
}

TEST_F(GtkHostTest, PointerMovesReachTrackingAreas) {
  std::string heard;
  static const EventTypeSpec kTypes[] = {{kEventClassControl, kEventControlTrackingAreaEntered},
                                         {kEventClassControl, kEventControlTrackingAreaExited}};
  InstallEventHandler(GetControlEventTarget(button_), RecordArea, 2, kTypes, &heard, nullptr);
  HIViewTrackingAreaRef area = nullptr;
  ASSERT_EQ(noErr, HIViewNewTrackingArea(button_, nullptr, 1, &area));
  const CGPoint p = CentreOf(button_);
  // GTK hands moves over once a frame, merging those queued: step by step.
  const std::pair<CGPoint, const char*> steps[] = {
      {{10, 10}, ""}, {p, "E"}, {{p.x + 1, p.y}, "E"}, {{10, 10}, "EX"}, {p, "EXE"}};
  for (const auto& step : steps) {
    const char* expected = step.second;
    PutMotion(area_, step.first.x, step.first.y, 0);
    EXPECT_TRUE(PumpUntil([&] { return heard == expected; })) << heard << " for " << expected;
  }
  // Leaving the window leaves the area.
  GdkEvent* leave = gdk_event_new(GDK_LEAVE_NOTIFY);
  leave->crossing.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(area_)));
  leave->crossing.x = -5;
  leave->crossing.y = -5;
  leave->crossing.mode = GDK_CROSSING_NORMAL;
  leave->crossing.detail = GDK_NOTIFY_ANCESTOR;
  gdk_event_set_device(leave, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
  gdk_event_put(leave);
  gdk_event_free(leave);
  Pump();
  EXPECT_EQ("EXEX", heard);
  HIViewDisposeTrackingArea(area);
}

TEST_F(GtkHostTest, TypingReachesTheFocusedField) {
  CGPoint p = CentreOf(edit_text_);
  Click(area_, p.x, p.y);  // a click focuses the field
  ControlRef focus = nullptr;
  GetKeyboardFocus(window_, &focus);
  ASSERT_EQ(edit_text_, focus);
  PutKey(top_, GDK_KEY_h, 0);
  PutKey(top_, GDK_KEY_i, 0);
  PutKey(top_, GDK_KEY_BackSpace, 0);
  PutKey(top_, GDK_KEY_O, GDK_SHIFT_MASK);
  CFStringRef text = nullptr;
  GetControlData(edit_text_, 0, kControlEditTextCFStringTag, sizeof text, &text, nullptr);
  EXPECT_EQ("hO", Text(text));
  // The raw keys carry the Mac codes of the physical keys and Mac modifier bits.
  std::vector<UInt32> codes{4, 34, 51, 31};
  EXPECT_EQ(codes, heard_.keyCodes);
  EXPECT_EQ((std::vector<UInt32>{0, 0, 0, kGtkHostShiftKey}), heard_.keyModifiers);
  // Control-letter is a command key: no text.
  PutKey(top_, GDK_KEY_k, GDK_CONTROL_MASK);
  GetControlData(edit_text_, 0, kControlEditTextCFStringTag, sizeof text, &text, nullptr);
  EXPECT_EQ("hO", Text(text));
  EXPECT_EQ(kGtkHostCmdKey, heard_.keyModifiers.back());
}

TEST_F(GtkHostTest, KeysMapToMacCodesAndCharacters) {
  struct Case {
    guint keyval, base;
    UInt32 code;
    UInt8 charCode;
    UniChar unicode;
  };
  const Case cases[] = {
      {GDK_KEY_a, GDK_KEY_a, 0, 'a', 'a'},
      {GDK_KEY_A, GDK_KEY_a, 0, 'A', 'A'},
      {GDK_KEY_exclam, GDK_KEY_1, 18, '!', '!'},
      {GDK_KEY_Return, GDK_KEY_Return, 36, 13, 13},
      {GDK_KEY_KP_Enter, GDK_KEY_KP_Enter, 76, 3, 3},
      {GDK_KEY_Tab, GDK_KEY_Tab, 48, 9, 9},
      {GDK_KEY_ISO_Left_Tab, GDK_KEY_Tab, 48, 9, 9},
      {GDK_KEY_BackSpace, GDK_KEY_BackSpace, 51, 8, 8},
      {GDK_KEY_Delete, GDK_KEY_Delete, 117, 127, 127},
      {GDK_KEY_Escape, GDK_KEY_Escape, 53, 27, 27},
      {GDK_KEY_Left, GDK_KEY_Left, 123, 28, 28},
      {GDK_KEY_Down, GDK_KEY_Down, 125, 31, 31},
      {GDK_KEY_KP_Home, GDK_KEY_KP_Home, 89, 1, 1},  // keypad 7 without Num Lock
      {GDK_KEY_KP_7, GDK_KEY_KP_Home, 89, '7', '7'},  // and with it
      {GDK_KEY_F1, GDK_KEY_F1, 122, 16, 16},
      {GDK_KEY_eacute, GDK_KEY_eacute, 0xFFFF, 0x8E, 0xE9},
      {GDK_KEY_EuroSign, GDK_KEY_e, 14, 0xDB, 0x20AC},
      {GDK_KEY_Greek_alpha, GDK_KEY_Greek_alpha, 0xFFFF, 0, 0x3B1},  // no Mac Roman code
      {GDK_KEY_VoidSymbol, 0, 0xFFFF, 0, 0},
  };
  for (const Case& c : cases) {
    GtkHostKey key = GtkHostMapKey(c.keyval, c.base);
    EXPECT_EQ(c.code, key.keyCode) << gdk_keyval_name(c.keyval);
    EXPECT_EQ(c.charCode, key.charCode) << gdk_keyval_name(c.keyval);
    EXPECT_EQ(c.unicode, key.unicode) << gdk_keyval_name(c.keyval);
  }
  EXPECT_EQ(kGtkHostCmdKey | kGtkHostShiftKey, GtkHostMacModifiers(GDK_CONTROL_MASK | GDK_SHIFT_MASK));
  EXPECT_EQ(kGtkHostOptionKey | kGtkHostAlphaLock, GtkHostMacModifiers(GDK_MOD1_MASK | GDK_LOCK_MASK));
  EXPECT_EQ(kGtkHostControlKey, GtkHostMacModifiers(GDK_SUPER_MASK));
  EXPECT_EQ(0u, GtkHostMacModifiers(GDK_BUTTON1_MASK | GDK_MOD2_MASK));  // Num Lock is no modifier
}

// The navigation keys of this desktop arrive as the Mac gestures that mean the
// same; Shift stays, Alt keeps its own meaning, and other keys are untouched.
TEST_F(GtkHostTest, NavigationKeysBecomeMacGestures) {
  constexpr UInt32 cmd = kGtkHostCmdKey, opt = kGtkHostOptionKey, shift = kGtkHostShiftKey;
  struct Case {
    guint keyval, state;
    bool mapped;
    UInt32 code;
    UInt8 charCode;
    UInt32 modifiers;
  };
  const Case cases[] = {
      {GDK_KEY_Home, 0, true, 123, 28, cmd},
      {GDK_KEY_End, GDK_SHIFT_MASK, true, 124, 29, cmd | shift},
      {GDK_KEY_KP_Home, 0, true, 123, 28, cmd},
      {GDK_KEY_Home, GDK_CONTROL_MASK, true, 126, 30, cmd},
      {GDK_KEY_End, GDK_CONTROL_MASK | GDK_SHIFT_MASK, true, 125, 31, cmd | shift},
      {GDK_KEY_Left, GDK_CONTROL_MASK, true, 123, 28, opt},
      {GDK_KEY_Right, GDK_CONTROL_MASK | GDK_SHIFT_MASK, true, 124, 29, opt | shift},
      {GDK_KEY_BackSpace, GDK_CONTROL_MASK, true, 51, 8, opt},
      {GDK_KEY_Delete, GDK_CONTROL_MASK, true, 117, 127, opt},
      {GDK_KEY_Page_Down, 0, true, 121, 12, opt},
      {GDK_KEY_Page_Up, GDK_SHIFT_MASK, true, 116, 11, opt | shift},
      {GDK_KEY_Page_Up, GDK_CONTROL_MASK, false, 116, 11, cmd},  // tab switching stays
      {GDK_KEY_Left, 0, false, 123, 28, 0},
      {GDK_KEY_Left, GDK_MOD1_MASK, false, 123, 28, opt},  // Alt+Left is a word already
      {GDK_KEY_Home, GDK_MOD1_MASK, false, 115, 1, opt},
      {GDK_KEY_BackSpace, 0, false, 51, 8, 0},
      {GDK_KEY_a, GDK_CONTROL_MASK, false, 0, 'a', cmd},
  };
  for (const Case& c : cases) {
    GtkHostKey key = GtkHostMapKey(c.keyval, c.keyval);
    UInt32 modifiers = GtkHostMacModifiers(c.state);
    EXPECT_EQ(c.mapped, GtkHostMapNavigation(c.keyval, c.state, &key, &modifiers)) << gdk_keyval_name(c.keyval);
    EXPECT_EQ(c.code, key.keyCode) << gdk_keyval_name(c.keyval);
    EXPECT_EQ(c.charCode, key.charCode) << gdk_keyval_name(c.keyval);
    EXPECT_EQ(UniChar(c.charCode), key.unicode) << gdk_keyval_name(c.keyval);
    EXPECT_EQ(c.modifiers, modifiers) << gdk_keyval_name(c.keyval) << " " << c.state;
  }
}

std::vector<std::string> Labels(GtkWidget* shell) {
  std::vector<std::string> out;
  GList* children = gtk_container_get_children(GTK_CONTAINER(shell));
  for (GList* l = children; l; l = l->next) {
    const char* label = GTK_IS_MENU_ITEM(l->data) ? gtk_menu_item_get_label(GTK_MENU_ITEM(l->data)) : nullptr;
    out.push_back(label ? label : "-");
  }
  g_list_free(children);
  return out;
}

GtkWidget* Child(GtkWidget* shell, guint index) {
  GList* children = gtk_container_get_children(GTK_CONTAINER(shell));
  auto* w = GTK_WIDGET(g_list_nth_data(children, index));
  g_list_free(children);
  return w;
}

OSStatus DisableCopy(EventHandlerCallRef, EventRef e, void*) {
  HICommand command{};
  GetEventParameter(e, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
  if (command.commandID != 'copy') return eventNotHandledErr;
  DisableMenuItem(command.menu.menuRef, command.menu.menuItemIndex);
  return noErr;
}

TEST_F(GtkHostTest, MenuBarFollowsTheModelAndSendsCommands) {
  GtkWidget* bar = GtkHostMenuBarWidget(window_);
  ASSERT_NE(nullptr, bar);
  EXPECT_TRUE(gtk_widget_get_visible(bar));
  EXPECT_EQ((std::vector<std::string>{"File", "Edit"}), Labels(bar));
  GtkWidget* fileMenu = gtk_menu_item_get_submenu(GTK_MENU_ITEM(Child(bar, 0)));
  EXPECT_EQ((std::vector<std::string>{"Save Copy", "Close"}), Labels(fileMenu));

  // Choosing an item sends its command to the focus window.
  gtk_menu_item_activate(GTK_MENU_ITEM(Child(fileMenu, 0)));
  EXPECT_EQ(std::vector<UInt32>{'svcp'}, heard_.commands);

  // The enable pass runs when a menu opens.
  EventHandlerRef handler = nullptr;
  static const EventTypeSpec kUpdate = {kEventClassCommand, kEventCommandUpdateStatus};
  InstallWindowEventHandler(window_, DisableCopy, 1, &kUpdate, nullptr, &handler);
  GtkWidget* editMenu = gtk_menu_item_get_submenu(GTK_MENU_ITEM(Child(bar, 1)));
  EXPECT_TRUE(gtk_widget_get_sensitive(Child(editMenu, 0)));
  gtk_menu_shell_select_item(GTK_MENU_SHELL(bar), Child(bar, 1));
  PumpUntil([&] { return gtk_widget_get_visible(editMenu); });
  EXPECT_FALSE(gtk_widget_get_sensitive(Child(editMenu, 0)));
  gtk_menu_shell_deactivate(GTK_MENU_SHELL(bar));
  Pump();
  RemoveEventHandler(handler);

  // A change of the model rebuilds the bar.
  MenuRef help = nullptr;
  CreateNewMenu(130, 0, &help);
  SetMenuTitleWithCFString(help, S("Help"));
  InsertMenu(help, 0);
  DrawMenuBar();
  EXPECT_EQ((std::vector<std::string>{"File", "Edit", "Help"}), Labels(bar));
  ReleaseMenu(help);

  // Key equivalents: Control+W is the Close item, which closes the window.
  PutKey(top_, GDK_KEY_w, GDK_CONTROL_MASK);
  EXPECT_FALSE(IsValidWindowPtr(window_));
}

TEST_F(GtkHostTest, ResizeAndCloseBoxGoThroughThePlatform) {
  const int barHeight = gtk_widget_get_allocated_height(GtkHostMenuBarWidget(window_));
  heard_.boundsChanged = 0;
  gtk_window_resize(GTK_WINDOW(top_), 500, 330 + barHeight);
  ASSERT_TRUE(PumpUntil([&] {
    Rect r{};
    GetWindowBounds(window_, kWindowContentRgn, &r);
    return r.right - r.left == 500 && r.bottom - r.top == 330;
  }));
  EXPECT_GE(heard_.boundsChanged, 1);
  HIRect root{};
  HIViewGetFrame(HIViewGetRoot(window_), &root);
  EXPECT_EQ(500, root.size.width);

  // The platform's own resize reaches the GtkWindow.
  SizeWindow(window_, 460, 300, true);
  EXPECT_TRUE(PumpUntil([&] { return gtk_widget_get_allocated_width(area_) == 460; }));

  // The close box sends the close event; the standard handler disposes.
  gtk_window_close(GTK_WINDOW(top_));
  Pump();
  EXPECT_FALSE(IsValidWindowPtr(window_));
  EXPECT_EQ(nullptr, GtkHostWindowWidget(window_));
}

// Chooses an item of the first pop-up menu that shows, recording its items.
struct MenuAnswer {
  guint index;
  std::vector<std::string> labels;
  bool answered = false;
};

gboolean AnswerMenu(gpointer data) {
  auto* answer = static_cast<MenuAnswer*>(data);
  GList* tops = gtk_window_list_toplevels();
  for (GList* l = tops; l && !answer->answered; l = l->next) {
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(l->data));
    if (!GTK_IS_MENU(child) || !gtk_widget_get_visible(child)) continue;
    answer->labels = Labels(child);
    gtk_menu_shell_activate_item(GTK_MENU_SHELL(child), Child(child, answer->index), TRUE);
    answer->answered = true;
  }
  g_list_free(tops);
  return answer->answered ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
}

TEST_F(GtkHostTest, PopUpButtonRunsAGtkMenu) {
  MenuAnswer answer{1, {}};
  guint source = g_timeout_add(10, AnswerMenu, &answer);
  CGPoint p = CentreOf(popup_);
  Click(area_, p.x + 40, p.y);
  if (!answer.answered) g_source_remove(source);
  ASSERT_TRUE(answer.answered);
  EXPECT_EQ((std::vector<std::string>{"Web site", "Library"}), answer.labels);
  EXPECT_EQ(2, GetControl32BitValue(popup_));
}

TEST_F(GtkHostTest, SheetStaysWithItsParent) {
  Rect bounds{0, 0, 120, 300};
  WindowRef sheet = nullptr;
  ASSERT_EQ(noErr, CreateNewWindow(kSheetWindowClass, kWindowCompositingAttribute, &bounds, &sheet));
  ASSERT_EQ(noErr, ShowSheetWindow(sheet, window_));
  GtkWidget* sheetTop = GtkHostWindowWidget(sheet);
  ASSERT_NE(nullptr, sheetTop);
  EXPECT_EQ(GTK_WINDOW(top_), gtk_window_get_transient_for(GTK_WINDOW(sheetTop)));
  EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(sheetTop)));
  EXPECT_EQ(nullptr, GtkHostMenuBarWidget(sheet));
  Rect parent{}, placed{};
  GetWindowBounds(window_, kWindowContentRgn, &parent);
  GetWindowBounds(sheet, kWindowContentRgn, &placed);
  EXPECT_TRUE(PumpUntil([&] {
    gint x = 0, y = 0;
    gtk_window_get_position(GTK_WINDOW(sheetTop), &x, &y);
    return x == placed.left && y == parent.top;
  }));
  HideSheetWindow(sheet);
  EXPECT_FALSE(gtk_widget_get_visible(sheetTop));
  DisposeWindow(sheet);
  EXPECT_EQ(nullptr, GtkHostWindowWidget(sheet));
}

// Answers the first message dialog that shows with the given response and
// records its text.
struct DialogAnswer {
  gint response;
  std::string text;
  std::vector<std::string> buttons;
  bool answered = false;
};

gboolean AnswerDialog(gpointer data) {
  auto* answer = static_cast<DialogAnswer*>(data);
  GList* tops = gtk_window_list_toplevels();
  for (GList* l = tops; l; l = l->next) {
    if (!GTK_IS_MESSAGE_DIALOG(l->data) || !gtk_widget_get_visible(GTK_WIDGET(l->data))) continue;
    gchar* text = nullptr;
    g_object_get(l->data, "text", &text, nullptr);
    answer->text = text ? text : "";
    g_free(text);
    GtkWidget* area = gtk_dialog_get_action_area(GTK_DIALOG(l->data));
    GList* buttons = gtk_container_get_children(GTK_CONTAINER(area));
    for (GList* b = buttons; b; b = b->next)
      if (GTK_IS_BUTTON(b->data)) answer->buttons.push_back(gtk_button_get_label(GTK_BUTTON(b->data)));
    g_list_free(buttons);
    gtk_dialog_response(GTK_DIALOG(l->data), answer->response);
    answer->answered = true;
  }
  g_list_free(tops);
  return answer->answered ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
}

TEST_F(GtkHostTest, AlertsRunAsMessageDialogs) {
  AlertStdCFStringAlertParamRec params{};
  GetStandardAlertDefaultParams(&params, kStdCFStringAlertVersionOne);
  params.defaultText = S("Save");
  params.cancelText = S("Cancel");
  params.otherText = S("Don't Save");
  params.cancelButton = kAlertStdAlertCancelButton;
  for (auto [response, expected] : {std::pair<gint, DialogItemIndex>{kAlertStdAlertOtherButton, kAlertStdAlertOtherButton},
                                    {GTK_RESPONSE_DELETE_EVENT, kAlertStdAlertCancelButton}}) {
    DialogAnswer answer{response, {}, {}};
    g_timeout_add(10, AnswerDialog, &answer);
    DialogRef alert = nullptr;
    ASSERT_EQ(noErr, CreateStandardAlert(kAlertCautionAlert, S("Save the changes to \u201cindex.php\u201d?"),
                                         S("Your changes are lost if you don't save them."), &params, &alert));
    DialogItemIndex item = 0;
    ASSERT_EQ(noErr, RunStandardAlert(alert, nullptr, &item));
    ASSERT_TRUE(answer.answered);
    EXPECT_EQ(expected, item);
    EXPECT_EQ("Save the changes to \u201cindex.php\u201d?", answer.text);
    EXPECT_EQ((std::vector<std::string>{"Don't Save", "Cancel", "Save"}), answer.buttons);
  }
}

TEST_F(GtkHostTest, ScreenshotOfTheWindow) {
  SetKeyboardFocus(window_, edit_text_, kControlFocusNextPart);
  CFStringRef name = S("Brackenrow");
  SetControlData(edit_text_, 0, kControlEditTextCFStringTag, sizeof name, &name);
  SetControl32BitValue(check_, 1);
  Pump();
  const std::string path = std::string(QUORVEL_TEST_OUTPUT_DIR) + "/gtk-controls-window.png";
  ASSERT_EQ(noErr, GtkHostWriteScreenshot(window_, path));
  cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
  ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_status(png));
  const int barHeight = gtk_widget_get_allocated_height(GtkHostMenuBarWidget(window_));
  EXPECT_EQ(420, cairo_image_surface_get_width(png));
  EXPECT_EQ(280 + barHeight, cairo_image_surface_get_height(png));
  // The content's background shows below the menu bar, away from the views.
  const unsigned char* data = cairo_image_surface_get_data(png);
  const int stride = cairo_image_surface_get_stride(png);
  const unsigned char* pixel = data + (barHeight + 200) * stride + 10 * 4;
  EXPECT_EQ(0xEC, pixel[0]);
  EXPECT_EQ(0xEC, pixel[1]);
  EXPECT_EQ(0xEC, pixel[2]);
  cairo_surface_destroy(png);
  EXPECT_EQ(paramErr, GtkHostWriteScreenshot(nullptr, path));
}

}  // namespace
