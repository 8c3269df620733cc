#include "window/CLMainBox.h"

#include <oleacc.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>

#include "app/Startup.h"
#include "engine/DesktopShell.h"
#include "engine/FileOps.h"
#include "engine/FilePaths.h"
#include "engine/InstallEngine.h"
#include "engine/PathText.h"
#include "engine/Product.h"
#include "engine/SetupLog.h"
#include "engine/SystemVersion.h"
#include "engine/Texts.h"
#include "ui/CHApp.h"
#include "ui/CXEdit.h"
#include "ui/UIButton.h"
#include "ui/UICheckBox.h"
#include "ui/UIKind.h"
#include "ui/UILabel.h"
#include "ui/UIProgress.h"
#include "window/CLShadwWnd.h"

namespace pv {

namespace {

constexpr int kPageTop = 48;
// The pages' headings and the notes below them, over the page art: lines
// centred on the page, with room to the sides.
constexpr int kTextLeft = 20;
constexpr int kHeadingHeight = 24;
constexpr int kNoteHeight = 20;
constexpr int kProgressHeadingTop = 178;
constexpr int kProgressNoteTop = 208;
constexpr int kResultHeadingTop = 120;
constexpr int kResultNoteTop = 150;
constexpr int kRemovalHeadingTop = 140;
constexpr int kPageHeight = 300;
// Shadow widths beyond the window: left and right, top, bottom.
constexpr int kShadeSide = 27;
constexpr int kShadeTop = 22;
constexpr int kShadeBottom = 32;
// Posted by the creation of a window that will be shown: make the shadows.
constexpr UINT kShadowsDue = WM_APP + 0x403;
// Posted by the slide thread when a page has come in.
constexpr UINT kPageShown = WM_APP + 0x404;

}  // namespace

CLMainBox::CLMainBox() {
  // The box's skin is the program's skin: the shadows read it too.
  UIResource::SetCurrent(&skin_);
}

CLMainBox::~CLMainBox() {
  // The slide thread is asked to stop and given the moment a slide takes:
  // killing a thread can leave a lock it held (the loader's, the heap's)
  // taken for good, and the process then hangs on its way out. Only a thread
  // that does not end is killed.
  slideThread_.stopRequested = true;
  if (!slideThread_.Wait(2000)) slideThread_.Terminate();
  worker.Terminate();
  if (UIResource::Current() == &skin_) UIResource::SetCurrent(nullptr);
}

// --- the engines' view ------------------------------------------------------

int CLMainBox::ProgressPos() const { return progressBar_ ? progressBar_->GetPos() : progressPosFallback_; }

void CLMainBox::SetProgressPos(int pos) {
  if (progressBar_) {
    progressBar_->SetPos(pos);
  } else {
    progressPosFallback_ = pos;
  }
}

void CLMainBox::ShowStatus(const wchar_t* text) {
  if (statusLabel_) statusLabel_->SetText(text);
}

void CLMainBox::StartProgressTimer() {
  if (progressTimer_) StopTimer(progressTimer_);
  progressTimer_ = StartTimer(100, this);
}

void CLMainBox::Timer(int id) {
  if (id != progressTimer_ || id == 0) {
    UIFrameWindow::Timer(id);
    return;
  }
  int pos;
  {
    pv::Lock lock(progressLock);
    pos = ProgressPos();
    if (pos < progressTarget) ++pos;
    SetProgressPos(pos);
  }
  if (pos >= 100) {
    StopTimer(progressTimer_);
    progressTimer_ = 0;
  }
}

// --- creation ---------------------------------------------------------------

LRESULT CLMainBox::OnCreate(WPARAM wParam, LPARAM lParam) {
  const LRESULT result = UIFrameWindow::OnCreate(wParam, lParam);
  RunStartupChecks(*this);
  // A quiet run shows nothing: the skin, its decoded images, the shadows
  // and the pages would be work without effect. The engines need none of
  // them (the choices go to them as values, and the bar and the status
  // have fallbacks).
  const bool shown = !Quiet();
  if (shown) {
    skin_.LoadFromResource(theApp ? theApp->instance : ::GetModuleHandleW(nullptr), L"UIR", 129);
    // The shadows come once the window has first been painted: four
    // layered windows take about a third of the start-up under Wine, and
    // the window is what the user waits for. Posted now, the message is
    // taken by the loop after the window was shown and drawn.
    ::PostMessageW(hwnd, kShadowsDue, 0, 0);
  }
  ChooseInstallFolder(*this);
  if (shown) {
    LoadStyle(&skin_, "MainWindow", nullptr);
    SetFocusMarkColor(skin_.GetTextStyle("MainWindow/FocusMark", nullptr).color);
    BuildTitle();
    if (installMode) {
      BuildInstallPages();
    } else {
      BuildUninstallPages();
    }
    // As in a dialog, the main button holds the focus from the start.
    PageShown();
  }
  Resize(kWidth, kHeight);
  CenterWindow();
  RunQuietMode(*this);
  return result;
}

LRESULT CLMainBox::OnDestroy(WPARAM wParam, LPARAM lParam) {
  // Closed while the install runs: the process ends at once, without
  // waiting for the worker. It is ended here rather than killed thread by
  // thread, so that no lock the worker holds can stop the way out; the
  // system closes the temporary archive's handle, which deletes it.
  if (worker.IsRunning()) {
    SetupLog::Line(L"the window was closed during the install: the program ends at once");
    SetupLog::Result(0);
    ::TerminateProcess(::GetCurrentProcess(), 0);
  }
  closing = true;
  ::PostQuitMessage(0);
  return UIFrameWindow::OnDestroy(wParam, lParam);
}

void CLMainBox::CreateShadows() {
  for (int side = CLShadwWnd::kLeft; side <= CLShadwWnd::kBottom; ++side) {
    auto shadow = std::make_shared<CLShadwWnd>(side);
    shadow->CreateShadow(hwnd);
    shadows_[side - 1] = std::move(shadow);
  }
}

UIObject* CLMainBox::NewPage(bool visible) {
  // A bare pane: its picture, where it has one, is a child of its own.
  UIObject* raw = UIObject::CreateChild(UIKind::Pane, nullptr, this, nullptr, nullptr);
  raw->SetLayout(0, kPageTop, kWidth, kPageHeight);
  raw->SetAbsoluteLayout();
  if (!visible) raw->SetVisible(false);
  return raw;
}

UIObject* CLMainBox::Make(int kind, UIObject* parent, const char* key) {
  return UIObject::CreateChild(kind, &skin_, parent, key, nullptr);
}

void CLMainBox::AddHeading(UIObject* page, TextId text, int top) {
  auto* label = static_cast<UILabel*>(Make(UIKind::Label, page, "MainWindow/Heading"));
  label->SetText(Text(text).c_str());
  label->SetLayout(kTextLeft, top, kWidth - 2 * kTextLeft, kHeadingHeight);
}

void CLMainBox::AddNote(UIObject* page, TextId text, int top) {
  auto* label = static_cast<UILabel*>(Make(UIKind::Label, page, "MainWindow/Note"));
  label->SetText(Text(text).c_str());
  label->SetLayout(kTextLeft, top, kWidth - 2 * kTextLeft, kNoteHeight);
}

void CLMainBox::FitAgreement() {
  // The agree box and the licence link read as one phrase. Where the box's
  // caption is wider than its place, the box grows to it, the link follows
  // it a word's space on, and the two move left so that they still end
  // where the browse button does.
  constexpr int kAgreeX = 366;
  constexpr int kAgreeWidth = 45;
  constexpr int kRowTop = 115;
  constexpr int kRowHeight = 12;
  constexpr int kRowRight = 485;
  constexpr int kWordSpace = 3;
  pv::WindowDC screen(hwnd);
  if (!screen) return;
  const int box = agreeBox_->CaptionExtent(screen.get());
  if (box <= kAgreeWidth) return;
  const int link = licenceLink_->CaptionExtent(screen.get());
  const int x = std::min(kAgreeX, kRowRight - (box + kWordSpace + link));
  agreeBox_->SetLayout(x, kRowTop, box, kRowHeight);
  licenceLink_->SetLayout(x + box + kWordSpace, kRowTop, link, kRowHeight);
}

void CLMainBox::BuildTitle() {
  auto* title = static_cast<UILabel*>(Make(UIKind::Label, this, "MainWindow/title"));
  title->SetText(pv::product::kDisplayName);
  title->SetLayout(13, 0, 200, 40);
  // The window's own name; a reader hears the pages' controls and the
  // close button.
  title->SetAccessibleRole(0);
  if (UIButton* close = CloseButton()) close->SetAccessibleName(Text(TextId::kCloseName));
}

void CLMainBox::BuildInstallPages() {
  statusLabel_ = static_cast<UILabel*>(Make(UIKind::Label, this, "MainWindow/Label1"));
  statusLabel_->SetVisible(false);
  const std::wstring installText = Text(update ? TextId::kUpgrade : TextId::kInstall);

  pages_.welcome = NewPage(true);
  Make(UIKind::Pane, pages_.welcome, "MainWindow/Pane1");
  installButton_ = static_cast<UIButton*>(Make(UIKind::Button, pages_.welcome, "MainWindow/PublishBtn"));
  installButton_->SetText(installText.c_str());
  installButton_->SetLayout(165, 197, 200, 48);
  customLink_ = static_cast<UIButton*>(Make(UIKind::Button, pages_.welcome, "MainWindow/WordBtn"));
  customLink_->SetText(Text(TextId::kCustomInstall).c_str());
  customLink_->SetLayout(427, 277, 90, 12);
  customLink_->SetAccessibleRole(ROLE_SYSTEM_LINK);
  if (update) customLink_->SetVisible(false);

  pages_.custom = NewPage(false);
  auto edit = std::make_unique<CXEdit>();
  edit->LoadStyle(&skin_, "MainWindow/EditBoxPath", nullptr);
  pathEdit_ = UIObject::AddChild(pages_.custom, std::move(edit));
  pathEdit_->SetText(installDir);
  pathEdit_->SetAccessibleName(Text(TextId::kPathName));
  customInstallButton_ = static_cast<UIButton*>(Make(UIKind::Button, pages_.custom, "MainWindow/PublishBtn"));
  customInstallButton_->SetText(installText.c_str());
  agreeBox_ = static_cast<UICheckBox*>(Make(UIKind::CheckBox, pages_.custom, "MainWindow/CheckBox"));
  agreeBox_->SetText(Text(TextId::kAgree).c_str());
  agreeBox_->SetLayout(366, 115, 45, 12);
  agreeBox_->SetCheck(true);
  licenceLink_ = static_cast<UIButton*>(Make(UIKind::Button, pages_.custom, "MainWindow/WordBtn2"));
  licenceLink_->SetText(Text(TextId::kLicence).c_str());
  licenceLink_->SetLayout(405, 115, 80, 12);
  licenceLink_->SetAccessibleRole(ROLE_SYSTEM_LINK);
  browseButton_ = static_cast<UIButton*>(Make(UIKind::Button, pages_.custom, "MainWindow/ButtonBrowser"));
  browseButton_->SetText(Text(TextId::kBrowse).c_str());
  desktopBox_ = static_cast<UICheckBox*>(Make(UIKind::CheckBox, pages_.custom, "MainWindow/CheckBox"));
  desktopBox_->SetText(Text(TextId::kDesktopIcon).c_str());
  desktopBox_->SetLayout(54, 115, 120, 12);
  desktopBox_->SetCheck(true);
  backButton_ = static_cast<UIButton*>(Make(UIKind::Button, pages_.custom, "MainWindow/ReturnBtn"));
  backButton_->SetText(Text(TextId::kBack).c_str());
  backButton_->SetLayout(10, 275, 50, 16);
  FitAgreement();
  quickLaunchBox_ = static_cast<UICheckBox*>(Make(UIKind::CheckBox, pages_.custom, "MainWindow/CheckBox"));
  quickLaunchBox_->SetText(Text(TextId::kQuickLaunch).c_str());
  quickLaunchBox_->SetLayout(210, 115, 120, 12);
  // Windows 10 has no Quick Launch bar and lets no program pin itself.
  const bool windows10 = pv::IsWindows10();
  quickLaunchBox_->SetCheck(!windows10);
  if (windows10) quickLaunchBox_->SetVisible(false);

  pages_.progress = NewPage(false);
  Make(UIKind::Pane, pages_.progress, "MainWindow/Pane2");
  progressBar_ = static_cast<UIProgress*>(Make(UIKind::Progress, pages_.progress, "MainWindow/Progress"));
  progressBar_->SetLayout(0, 297, 528, 3);
  progressBar_->ResetRange();
  progressBar_->SetPos(0);
  progressBar_->SetAccessibleName(Text(TextId::kInstalling));
  AddHeading(pages_.progress, TextId::kInstalling, kProgressHeadingTop);
  AddNote(pages_.progress, TextId::kInstallingNote, kProgressNoteTop);

  pages_.done = NewPage(false);
  Make(UIKind::Pane, pages_.done, "MainWindow/Pane6");
  AddHeading(pages_.done, TextId::kInstalled, kResultHeadingTop);
  AddNote(pages_.done, TextId::kInstalledNote, kResultNoteTop);
  tryNowButton_ = static_cast<UIButton*>(Make(UIKind::Button, pages_.done, "MainWindow/PublishBtn"));
  tryNowButton_->SetText(Text(TextId::kTryNow).c_str());

  pages_.failed = NewPage(false);
  Make(UIKind::Pane, pages_.failed, "MainWindow/Pane7");
  AddHeading(pages_.failed, TextId::kFailed, kResultHeadingTop);
  AddNote(pages_.failed, TextId::kFailedNote, kResultNoteTop);
  retryButton_ = static_cast<UIButton*>(Make(UIKind::Button, pages_.failed, "MainWindow/PublishBtn"));
  retryButton_->SetText(Text(TextId::kRetry).c_str());
}

void CLMainBox::BuildUninstallPages() {
  pages_.welcome = NewPage(true);
  Make(UIKind::Pane, pages_.welcome, "MainWindow/Pane1");
  uninstallButton_ = static_cast<UIButton*>(Make(UIKind::Button, pages_.welcome, "MainWindow/PublishBtn"));
  uninstallButton_->SetText(Text(TextId::kUninstall).c_str());
  uninstallButton_->SetLayout(165, 197, 200, 48);

  pages_.progress = NewPage(false);
  Make(UIKind::Pane, pages_.progress, "MainWindow/Pane5");
  progressBar_ = static_cast<UIProgress*>(Make(UIKind::Progress, pages_.progress, "MainWindow/UninstallProgress"));
  progressBar_->SetLayout(55, 203, 420, 2);
  progressBar_->ResetRange();
  progressBar_->SetPos(0);
  progressBar_->SetAccessibleName(Text(TextId::kUninstalling));
  AddHeading(pages_.progress, TextId::kUninstalling, kRemovalHeadingTop);
  statusLabel_ = static_cast<UILabel*>(Make(UIKind::Label, pages_.progress, "MainWindow/Label1"));
  statusLabel_->SetLayout(0, 212, 528, 20);

  pages_.done = NewPage(false);
  Make(UIKind::Pane, pages_.done, "MainWindow/Pane3");
  AddHeading(pages_.done, TextId::kUninstalled, kResultHeadingTop);
  AddNote(pages_.done, TextId::kUninstalledNote, kResultNoteTop);
  finishButton_ = static_cast<UIButton*>(Make(UIKind::Button, pages_.done, "MainWindow/PublishBtn"));
  finishButton_->SetText(Text(TextId::kUninstallDone).c_str());
}

// --- messages ----------------------------------------------------------------

LRESULT CLMainBox::OnWindowPosChanging(WPARAM wParam, LPARAM lParam) {
  auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
  if (pos && hwnd) {
    // Fields the flags mark as unchanged are not filled in: take the
    // window's own position or size for them.
    RECT now{};
    ::GetWindowRect(hwnd, &now);
    const int x = (pos->flags & SWP_NOMOVE) ? now.left : pos->x;
    const int y = (pos->flags & SWP_NOMOVE) ? now.top : pos->y;
    const int w = (pos->flags & SWP_NOSIZE) ? now.right - now.left : pos->cx;
    const int h = (pos->flags & SWP_NOSIZE) ? now.bottom - now.top : pos->cy;
    // The shadows appear with the window: a window being set up unseen, or
    // the never-shown window of a quiet run, must not leave its outline of
    // shadows on the screen. They go when the window is hidden.
    const bool seen = (pos->flags & SWP_SHOWWINDOW) || (::IsWindowVisible(hwnd) && !(pos->flags & SWP_HIDEWINDOW));
    if (!seen) {
      HideShadows();
    } else if (w > 0 && h > 0) {
      if (::IsIconic(hwnd)) return 0;
      PlaceShadows(x, y, w, h);
    }
  }
  return UIFrameWindow::OnWindowPosChanging(wParam, lParam);
}

void CLMainBox::HideShadows() {
  for (auto& shadow : shadows_) {
    if (shadow && shadow->GetHwnd() && ::IsWindowVisible(shadow->GetHwnd())) ::ShowWindow(shadow->GetHwnd(), SW_HIDE);
  }
}

void CLMainBox::PlaceShadows(int x, int y, int w, int h) {
  if (!shadows_[0]) return;
  shadows_[0]->Place(x - kShadeSide, y, x, y + h);
  shadows_[1]->Place(x - kShadeSide, y - kShadeTop, x + w + kShadeSide, y);
  shadows_[2]->Place(x + w, y, x + w + kShadeSide, y + h);
  shadows_[3]->Place(x - kShadeSide, y + h, x + w + kShadeSide, y + h + kShadeBottom);
}

LRESULT CLMainBox::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kShadowsDue) {
    if (!shadows_[0]) CreateShadows();
    // Placed where the window stands now, if it is on the screen.
    RECT at{};
    if (::IsWindowVisible(hwnd) && !::IsIconic(hwnd) && ::GetWindowRect(hwnd, &at))
      PlaceShadows(at.left, at.top, at.right - at.left, at.bottom - at.top);
    return 0;
  }
  if (message == kPageShown) {
    PageShown();
    return 0;
  }
  if (message == WM_SETUP_FINISHED) {
    if (pages_.progress && pages_.done) QueueSlide(pages_.progress, pages_.done, true);
    return 0;
  }
  if (message == WM_SETUP_FAILED) {
    // The failed page offers a new try.
    workStarted_ = false;
    if (pages_.progress && pages_.failed) QueueSlide(pages_.progress, pages_.failed, true);
    return 0;
  }
  return UIFrameWindow::DefaultProc(message, wParam, lParam);
}

void CLMainBox::Paint(HDC dc, const RECT& rect, const RECT& clip) {
  {
    pv::SelectGuard select(dc, ::GetStockObject(WHITE_BRUSH));
    ::PatBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, PATCOPY);
  }
  // The frame's bands: the caption the title sits on, and the outline.
  UIFrameWindow::Paint(dc, rect, clip);
}

// --- keyboard ---------------------------------------------------------------

LRESULT CLMainBox::OnKeyDown(WPARAM wParam, LPARAM lParam) {
  if (wParam == VK_ESCAPE) {
    ShowFocusMark();
    ::SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    return 0;
  }
  if (wParam == VK_RETURN) {
    ShowFocusMark();
    // Auto-repeat presses nothing more.
    if (lParam & (1 << 30)) return 0;
    if (UIButton* button = MainButton(CurrentPage())) button->DoDefaultAction();
    return 0;
  }
  return UIFrameWindow::OnKeyDown(wParam, lParam);
}

UIObject* CLMainBox::CurrentPage() const { return slides_.Busy() ? nullptr : VisiblePage(); }

UIObject* CLMainBox::VisiblePage() const {
  for (UIObject* page : {pages_.welcome, pages_.custom, pages_.progress, pages_.done, pages_.failed}) {
    if (page && page->IsVisible()) return page;
  }
  return nullptr;
}

UIButton* CLMainBox::MainButton(const UIObject* page) const {
  if (!page) return nullptr;
  if (page == pages_.welcome) return installMode ? installButton_ : uninstallButton_;
  if (page == pages_.custom) return customInstallButton_;
  if (page == pages_.done) return installMode ? tryNowButton_ : finishButton_;
  if (page == pages_.failed) return retryButton_;
  return nullptr;
}

void CLMainBox::PageShown() {
  UIObject* page = VisiblePage();
  if (!page) return;
  // A reader learns that the children changed and what the page shows, in
  // reading order, then where the focus went.
  RaiseAccessibleEvent(EVENT_OBJECT_REORDER);
  for (UIObject* control : AccessibleChildren()) {
    if (page->HoldsInTree(control)) control->RaiseAccessibleEvent(EVENT_OBJECT_SHOW);
  }
  UIButton* main = MainButton(page);
  if (main && main->IsReachable()) {
    SetFocusChild(main);
  } else if (!GetFocusChild() || !GetFocusChild()->IsReachable()) {
    SetFocusChild(nullptr);
  }
}

std::wstring CLMainBox::DefaultActionName(UIObject* control) {
  switch (control->AccessibleRole()) {
    case ROLE_SYSTEM_PUSHBUTTON:
      return Text(TextId::kActionPress);
    case ROLE_SYSTEM_LINK:
      return Text(TextId::kActionJump);
    case ROLE_SYSTEM_CHECKBUTTON:
      return Text(static_cast<UICheckBox*>(control)->IsChecked() ? TextId::kActionUncheck : TextId::kActionCheck);
    default:
      return {};
  }
}

// --- control actions ---------------------------------------------------------

LRESULT CLMainBox::Notify(UIObject* sender, UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT frame = UIFrameWindow::Notify(sender, message, wParam, lParam);
  if (message != WM_COMMAND || !sender) return frame;
  // A control that slides or starts work takes one click: the second click
  // of a double click, and clicks while a slide plays or once the work has
  // started, would queue a second slide or a second run (a removal would
  // start inside the first one's message pump).
  const bool settled = !slides_.Busy() && !workStarted_;
  if (sender == licenceLink_) {
    DesktopShell::Open(pv::product::kLicencePage, std::wstring());  // the browser runs as the desktop's user
  } else if (sender == backButton_) {
    if (settled) QueueSlide(pages_.custom, pages_.welcome, false);
  } else if (sender == agreeBox_) {
    const bool agreed = agreeBox_->IsChecked();
    installButton_->SetEnabled(agreed);
    customInstallButton_->SetEnabled(agreed);
    customInstallButton_->RaiseAccessibleEvent(EVENT_OBJECT_STATECHANGE);
  } else if (sender == customLink_) {
    if (settled) QueueSlide(pages_.welcome, pages_.custom, true);
  } else if (sender == browseButton_) {
    ChooseFolder();
  } else if (sender == installButton_) {
    if (settled) StartInstall(pages_.welcome);
  } else if (sender == customInstallButton_) {
    if (settled) StartInstall(pages_.custom);
  } else if (sender == retryButton_) {
    if (settled) QueueSlide(pages_.failed, pages_.welcome, false);
  } else if (sender == tryNowButton_) {
    // Once: a double click would start the product twice.
    if (!leaving_) {
      leaving_ = true;
      if (!lastRunPath.empty()) LaunchProduct(lastRunPath);
      ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    }
  } else if (sender == uninstallButton_) {
    if (settled) {
      workStarted_ = true;
      QueueSlide(pages_.welcome, pages_.progress, true);
      StartSetup(*this);
    }
  } else if (sender == finishButton_) {
    if (!leaving_) {
      leaving_ = true;
      ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    }
  } else {
    return frame;
  }
  return 0;
}

void CLMainBox::ChooseFolder() {
  const std::wstring kept = installDir;
  wchar_t display[MAX_PATH] = {};
  BROWSEINFOW info{};
  info.hwndOwner = hwnd;
  info.pszDisplayName = display;
  info.lpszTitle = L"";
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
  PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&info);
  pv::UniqueCoTaskMem owner(chosen);
  wchar_t path[MAX_PATH] = {};
  const bool got = chosen && ::SHGetPathFromIDListW(chosen, path);
  owner.reset();
  if (!got) {
    installDir = kept;
    return;
  }
  std::wstring folder(pv::TrimBlanks(path));
  if (!folder.empty() && folder.back() == L'\\') {
    folder += pv::product::kInstallSuffix;
  } else {
    folder += L'\\';
    folder += pv::product::kInstallSuffix;
  }
  installDir = folder;
  pathEdit_->SetText(installDir);
}

bool CLMainBox::AcceptInstallFolder(const std::wstring& folder) const {
  if (folder.empty()) return false;
  wchar_t root[MAX_PATH + 1] = {};
  ::lstrcpynW(root, folder.c_str(), MAX_PATH);
  ::PathStripToRootW(root);
  if (::lstrlenW(root) < 2) return false;
  // The uninstaller deletes the install folder with everything in it: a
  // folder that already holds something other than an earlier installation
  // (a typed "D:\Games") must never become it.
  if (pv::IsFolder(folder) && !::PathIsDirectoryEmptyW(folder.c_str()) &&
      ::GetFileAttributesW((folder + L"\\unins000.exe").c_str()) == INVALID_FILE_ATTRIBUTES)
    return false;
  return pv::EnsureFolder(folder);
}

bool CLMainBox::ConfirmDowngrade() {
  if (allowDowngrade) return true;
  const std::wstring newer = NewerVersionInstalled();
  if (newer.empty()) return true;
  const std::wstring text =
      Text(TextId::kDowngradeNewer, {{L"installed", newer}, {L"version", pv::product::kVersion}}) + L"\n\n" +
      Text(TextId::kDowngradeQuestion);
  if (::MessageBoxW(hwnd, text.c_str(), pv::product::kDisplayName, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) ==
      IDYES) {
    pv::SetupLog::Line(L"the user agreed to replace the newer version " + newer);
    allowDowngrade = true;
    return true;
  }
  // Nothing has been touched: the run ends as a quiet one would.
  pv::SetupLog::Line(L"the user kept the newer version " + newer);
  resultCode = kNewerVersionInstalled;
  ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
  return false;
}

void CLMainBox::StartInstall(UIObject* page) {
  if (!ConfirmDowngrade()) return;
  const std::wstring folder = pathEdit_ ? pathEdit_->GetText() : installDir;
  if (!AcceptInstallFolder(folder)) {
    ::MessageBoxW(hwnd, Text(TextId::kFolderError).c_str(), nullptr, MB_ICONERROR);
    return;
  }
  installDir = folder;
  desktopIcon = !desktopBox_ || desktopBox_->IsChecked();
  quickLaunch = quickLaunchBox_ && quickLaunchBox_->IsChecked();
  workStarted_ = true;
  QueueSlide(page, pages_.progress, true);
  StartSetup(*this);
}

// --- page slides -------------------------------------------------------------

void CLMainBox::QueueSlide(UIObject* outgoing, UIObject* incoming, bool forward) {
  if (!slides_.Push({outgoing, incoming, forward})) return;
  // No worker plays the queue; the one that played it last has found it
  // empty and is on its way out: let it end, then start the next.
  slideThread_.Wait();
  if (!slideThread_.Start([this](CHThread* thread) { SlideWorker(thread->stopRequested); })) {
    // No thread to be had: the slide is played here, so the page still
    // changes.
    const std::atomic<bool> never{false};
    SlideWorker(never);
  }
}

void CLMainBox::SlideWorker(const std::atomic<bool>& stopRequested) {
  SlideQueue::Transition next;
  while (!stopRequested && slides_.Next(next)) {
    auto* outgoing = static_cast<UIObject*>(next.outgoing);
    auto* incoming = static_cast<UIObject*>(next.incoming);
    const bool forward = next.forward;
    outgoing->SetLayout(0, kPageTop, kWidth, kPageHeight);
    incoming->SetLayout(forward ? kWidth : -kWidth, kPageTop, kWidth, kPageHeight);
    outgoing->SetEnabled(false);
    incoming->SetEnabled(false);
    for (int i = 0; i <= 10; ++i) {
      ::Sleep(15);
      const int shift = 50 * i;
      if (forward) {
        outgoing->SetLayout(-shift, kPageTop, kWidth, kPageHeight);
        incoming->SetLayout(kWidth - shift, kPageTop, kWidth, kPageHeight);
      } else {
        outgoing->SetLayout(shift, kPageTop, kWidth, kPageHeight);
        incoming->SetLayout(shift - kWidth, kPageTop, kWidth, kPageHeight);
      }
      if (i == 10) {
        outgoing->SetLayout(0, kPageTop, kWidth, kPageHeight);
        incoming->SetLayout(0, kPageTop, kWidth, kPageHeight);
        outgoing->SetEnabled(true);
        incoming->SetEnabled(true);
        outgoing->SetVisible(false);
        incoming->SetVisible(true);
      }
    }
    Post(kPageShown, 0, 0);
    // Nudge the pointer so that the control now under it is hit-tested.
    POINT at;
    if (::GetCursorPos(&at)) ::SetCursorPos(at.x + 1, at.y);
  }
}

}  // namespace pv
