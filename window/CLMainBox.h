#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <vector>

#include "engine/SetupSession.h"
#include "engine/Texts.h"
#include "ui/CHThread.h"
#include "ui/Handles.h"
#include "ui/UIFrameWindow.h"
#include "ui/UIResource.h"
#include "window/SlideQueue.h"

namespace pv {

class CLShadwWnd;
class CXEdit;
class UIButton;
class UICheckBox;
class UILabel;
class UIProgress;

// The installer's window: a skinned frame of 528 x 348 with a drop shadow,
// holding the pages of the run mode, of which one is shown at a time. It runs
// the start-up sequence while it is being created, holds the state the
// engines share with it, moves the progress bar towards their targets, and
// slides from page to page on a thread of its own.
class CLMainBox : public UIFrameWindow, public SetupSession {
 public:
  static constexpr int kWidth = 528;
  static constexpr int kHeight = 348;

  CLMainBox();
  ~CLMainBox() override;

  // SetupSession
  HWND SessionWindow() const override { return hwnd; }
  int ProgressPos() const override;
  void SetProgressPos(int pos) override;
  void ShowStatus(const wchar_t* text) override;
  void StartProgressTimer() override;

  // A quiet run's window stays hidden.
  bool Quiet() const { return silent != 0; }

  // Appends a page transition and starts the slide thread when none plays
  // the queue.
  void QueueSlide(UIObject* outgoing, UIObject* incoming, bool forward);

  LRESULT OnCreate(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnDestroy(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnWindowPosChanging(WPARAM wParam, LPARAM lParam) override;
  // Enter presses the page's main button, Escape closes as the close button
  // does; the rest is the tree's (Tab, the focused control's keys).
  LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam) override;
  LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Paint(HDC dc, const RECT& rect, const RECT& clip) override;
  void Timer(int id) override;
  LRESULT Notify(UIObject* sender, UINT message, WPARAM wParam, LPARAM lParam) override;
  std::wstring DefaultActionName(UIObject* control) override;

 private:
  struct Pages {
    UIObject* welcome = nullptr;  // install: welcome; uninstall: confirm
    UIObject* custom = nullptr;
    UIObject* progress = nullptr;
    UIObject* done = nullptr;
    UIObject* failed = nullptr;
  };

  UIObject* NewPage(bool visible);
  UIObject* Make(int kind, UIObject* parent, const char* key);
  void BuildTitle();
  void AddHeading(UIObject* page, TextId text, int top);
  void AddNote(UIObject* page, TextId text, int top);
  void FitAgreement();
  void BuildInstallPages();
  void BuildUninstallPages();
  void CreateShadows();
  void HideShadows();
  void PlaceShadows(int x, int y, int w, int h);
  void ChooseFolder();
  void StartInstall(UIObject* page);
  // Asks before an install replaces a newer registered version; false when
  // the user keeps it (the window then closes).
  bool ConfirmDowngrade();
  bool AcceptInstallFolder(const std::wstring& folder) const;
  void SlideWorker(const std::atomic<bool>& stopRequested);
  // The page shown now (none while a slide plays), and the button Enter
  // presses on it.
  UIObject* CurrentPage() const;
  UIObject* VisiblePage() const;
  UIButton* MainButton(const UIObject* page) const;
  // After a slide: the focus goes to the new page's main button.
  void PageShown();

  UIResource skin_;
  std::array<std::shared_ptr<CLShadwWnd>, 4> shadows_;
  Pages pages_;

  UILabel* statusLabel_ = nullptr;
  UIProgress* progressBar_ = nullptr;
  UIButton* installButton_ = nullptr;        // welcome page
  UIButton* customInstallButton_ = nullptr;  // custom page
  UIButton* customLink_ = nullptr;
  UIButton* licenceLink_ = nullptr;
  UIButton* browseButton_ = nullptr;
  UIButton* backButton_ = nullptr;
  UIButton* tryNowButton_ = nullptr;
  UIButton* retryButton_ = nullptr;
  UIButton* uninstallButton_ = nullptr;
  UIButton* finishButton_ = nullptr;
  UICheckBox* agreeBox_ = nullptr;
  UICheckBox* desktopBox_ = nullptr;
  UICheckBox* quickLaunchBox_ = nullptr;
  CXEdit* pathEdit_ = nullptr;

  bool workStarted_ = false;  // an install or removal runs or has run
  bool leaving_ = false;      // the done page's button was taken
  int progressTimer_ = 0;
  int progressPosFallback_ = 0;  // before the bar exists

  SlideQueue slides_;
  CHThread slideThread_;
};

}  // namespace pv
