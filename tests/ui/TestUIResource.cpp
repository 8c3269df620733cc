#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "json/JValue.h"
#include "ui/Base64.h"
#include "ui/CHBitmap.h"
#include "ui/UIResource.h"
#include "ui/UirPackage.h"

using namespace pv;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string TestPng(const char* name) { return ReadFile(std::string(PIVSET_SOURCE_DIR "/tests/ui/data/") + name); }

bool Load(UIResource& r, const std::string& bytes) { return r.LoadFromMemory(bytes.data(), bytes.size()); }

// A small package: an image record with and without "bi", a foreground, a
// text record with a Chinese text and two fonts.
std::string SmallPackage(const std::string& image100, bool withFont5 = false) {
  const std::string text = Base64::Encode("安装目录有误");
  std::string doc = R"({"cfg":{"Box":{)"
                    R"("plain":{"bg":[1,2,3,4],"mg":[1,1,1,1],"bc":[255,0,255]},)"
                    R"("image":{"bi":100,"bg":[0,1,2,1],"bc":[255,0,255],"mg":[1,0,1,0],"md":3,)"
                    R"("fi":101,"fg":[1,1,1,1],"fc":[1,2,3],"al":16,"of":[-2,5]},)"
                    R"("lost":{"bi":555,"bg":[1,1,1,1],"fi":100,"fg":[0,0,2,2],"al":8},)"
                    R"("label":{"ft":7,"al":37,"cr":2451711,"of":[3,-4],"tx":")" +
                    text +
                    R"("},)"
                    R"("plainLabel":{"al":36,"tx":12,"ft":0}}},)"
                    R"("res":{"images":[{"id":100},{"id":101}],"fonts":[{"id":7},{"id":5}]}})";
  std::vector<std::pair<std::uint32_t, std::string>> records = {
      {100, image100}, {101, TestPng("opaque.png")}, {7, "{\"Height\":-30,\"Weight\":700,\"Italic\":257}\n"}};
  if (withFont5) records.push_back({5, "{\"Height\":-9}\n"});
  return UirPackage::WriteContainer(doc, records);
}

LOGFONTW FontOf(HFONT font) {
  LOGFONTW lf{};
  ::GetObjectW(font, sizeof(lf), &lf);
  return lf;
}

LOGFONTW IconTitle() {
  LOGFONTW lf{};
  ::SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(lf), &lf, 0);
  return lf;
}

bool AllPremultiplied(const CHBitmap& b) {
  for (int y = 0; y < b.Height(); ++y) {
    for (int x = 0; x < b.Width(); ++x) {
      const std::uint32_t p = b.PixelAt(x, y);
      const std::uint32_t a = p >> 24;
      if ((p & 0xFF) > a || ((p >> 8) & 0xFF) > a || ((p >> 16) & 0xFF) > a) return false;
    }
  }
  return true;
}

}  // namespace

TEST(UIResource, LoadsOurSkinFromTheExecutable) {
  UIResource skin;
  ASSERT_TRUE(skin.LoadFromResource(::GetModuleHandleW(nullptr), L"UIR", 129));
  std::string bytes;
  for (int id : {100, 101, 102, 103, 104, 105, 106, 107, 109, 110, 111, 112, 113, 114, 115, 117, 120}) {
    CHBitmap* image = skin.GetImage(id, true);
    ASSERT_NE(image, nullptr) << id;
    EXPECT_EQ(skin.GetImage(id, false), image) << "decoded once";
    if (image->BitsPerPixel() == 32) {
      EXPECT_TRUE(AllPremultiplied(*image)) << id;
    }
  }
  EXPECT_EQ(skin.GetImage(117, true)->BitsPerPixel(), 32);  // the shadow needs alpha
  EXPECT_EQ(skin.GetImage(106, true)->BitsPerPixel(), 24);  // page art is opaque
  EXPECT_EQ(skin.GetImage(116, true), nullptr);             // a font, not an image
  EXPECT_FALSE(skin.LoadFromResource(::GetModuleHandleW(nullptr), L"UIR", 130));
  EXPECT_NE(skin.GetImage(100, true), nullptr) << "a refused load keeps the skin";

  UIResource fromFile;
  EXPECT_TRUE(fromFile.LoadFromFile(L"" PIVSET_BINARY_DIR "/resources/skin.uir"));
  EXPECT_FALSE(fromFile.LoadFromFile(L"" PIVSET_BINARY_DIR "/resources/no-such.uir"));
  EXPECT_FALSE(fromFile.LoadFromFile(nullptr));
  EXPECT_NE(fromFile.FindNode("MainWindow/PublishBtn", nullptr), nullptr);
}

TEST(UIResource, OurSkinFitsTheWindowGeometry) {
  UIResource skin;
  ASSERT_TRUE(skin.LoadFromResource(::GetModuleHandleW(nullptr), L"UIR", 129));
  // The shadow records, slice by slice.
  struct Shade {
    const char* path;
    int bg[4];
    int mg[4];
  };
  for (const Shade& s : {Shade{"/Meta/shadeleft", {0, 22, 27, 40}, {0, 19, 0, 19}},
                         Shade{"/Meta/shadetop", {0, 0, 94, 22}, {46, 0, 46, 0}},
                         Shade{"/Meta/shaderight", {67, 22, 27, 40}, {0, 19, 0, 19}},
                         Shade{"/Meta/shadebottom", {0, 62, 94, 32}, {46, 0, 46, 0}}}) {
    const UIImageStyle st = skin.GetImageStyle(s.path, nullptr);
    ASSERT_EQ(st.bitmap, skin.GetImage(117, true)) << s.path;
    EXPECT_EQ((std::array<int, 4>{st.sourceX, st.sourceY, st.sourceWidth, st.sourceHeight}),
              (std::array<int, 4>{s.bg[0], s.bg[1], s.bg[2], s.bg[3]}))
        << s.path;
    EXPECT_EQ((std::array<int, 4>{st.marginLeft, st.marginTop, st.marginRight, st.marginBottom}),
              (std::array<int, 4>{s.mg[0], s.mg[1], s.mg[2], s.mg[3]}))
        << s.path;
  }
  // The shadow is darkest next to the window and clear at the far edges.
  CHBitmap* frame = skin.GetImage(117, true);
  const int nearAlpha = frame->PixelAt(26, 40) >> 24;
  EXPECT_GT(nearAlpha, 40);
  EXPECT_LE(nearAlpha, 64);
  EXPECT_EQ(frame->PixelAt(0, 40) >> 24, 0u);
  EXPECT_EQ(frame->PixelAt(47, 0) >> 24, 0u);
  EXPECT_EQ(frame->PixelAt(47, 93) >> 24, 0u);

  // Caption 40 pixels, other bands 1; the frame draws no corner cut-outs.
  const JValue* main = skin.FindNode("MainWindow", nullptr);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(main->Count(), 27);
  EXPECT_EQ(skin.GetImageStyle("Frames/Top/normal", main).sourceHeight, 40);
  EXPECT_EQ(skin.GetImageStyle("Frames/Left/normal", main).sourceWidth, 1);
  EXPECT_EQ(skin.GetImageStyle("Frames/Right/normal", main).sourceWidth, 1);
  EXPECT_EQ(skin.GetImageStyle("Frames/Bottom/normal", main).sourceHeight, 1);
  EXPECT_EQ(skin.GetImageStyle("Frames/Top/normal", main).marginTop, 0);
  EXPECT_EQ(skin.GetRect("SysBtns/Close/size", main), (std::array<int, 4>{-40, 10, 34, 28}));
  EXPECT_EQ(skin.GetRect("MainWindow/PublishBtn/size", nullptr), (std::array<int, 4>{165, 197, 200, 48}));
  EXPECT_EQ(skin.GetRect("MainWindow/Progress/size", nullptr)[3], 3);
  EXPECT_EQ(skin.GetImageStyle("MainWindow/Progress/frgnd", nullptr).sourceHeight, 3);
  EXPECT_EQ(skin.GetImageStyle("MainWindow/UninstallProgress/frgnd", nullptr).sourceHeight, 2);

  // Every button state has a picture and every caption a font and colour.
  for (const char* button : {"PublishBtn", "ButtonOK", "ButtonBrowser", "ReturnBtn", "CheckBox"}) {
    const JValue* node = skin.FindNode(button, main);
    ASSERT_NE(node, nullptr) << button;
    for (const char* state : {"normal", "lighted", "pressed", "grayed"}) {
      const UIImageStyle image = skin.GetImageStyle(state, node);
      EXPECT_NE(image.bitmap, nullptr) << button << "/" << state;
      EXPECT_GT(image.sourceWidth, 0) << button << "/" << state;
      const UITextStyle text = skin.GetTextStyle((std::string("Text/") + state).c_str(), node);
      EXPECT_NE(text.font, nullptr) << button << "/" << state;
    }
  }
  EXPECT_EQ(skin.GetTextStyle("MainWindow/title/text", nullptr).text, L"Pellio");
  EXPECT_EQ(skin.GetTextStyle("MainWindow/title/text", nullptr).color, RGB(255, 255, 255));
}

TEST(UIResource, FontsOverrideTheIconTitleFont) {
  UIResource skin;
  ASSERT_TRUE(skin.LoadFromResource(::GetModuleHandleW(nullptr), L"UIR", 129));
  const LOGFONTW system = IconTitle();
  const LOGFONTW large = FontOf(skin.GetFont(118));
  EXPECT_EQ(large.lfHeight, -21);
  EXPECT_STREQ(large.lfFaceName, L"Microsoft YaHei");
  EXPECT_EQ(large.lfCharSet, 134);
  EXPECT_FALSE(large.lfUnderline);
  const LOGFONTW link = FontOf(skin.GetFont(119));
  EXPECT_EQ(link.lfHeight, system.lfHeight);  // no "Height": the system's
  EXPECT_TRUE(link.lfUnderline);
  EXPECT_EQ(FontOf(skin.GetFont(116)).lfHeight, -12);
  EXPECT_EQ(skin.GetFont(116), skin.GetFont(116)) << "created once";

  EXPECT_EQ(skin.GetFont(0), nullptr);
  EXPECT_EQ(skin.GetFont(0), nullptr);
  EXPECT_EQ(skin.GetFont(100), nullptr);  // an image id
}

TEST(UIResource, FontRecordFieldsAndTheMissingFontCache) {
  UIResource r;
  ASSERT_TRUE(Load(r, SmallPackage(TestPng("alpha.png"))));
  const LOGFONTW f = FontOf(r.GetFont(7));
  EXPECT_EQ(f.lfHeight, -30);
  EXPECT_EQ(f.lfWeight, 700);
  EXPECT_EQ(f.lfItalic, 1);  // byte fields take the low byte of 257
  EXPECT_STREQ(f.lfFaceName, IconTitle().lfFaceName);

  // Font 5 is listed but has no record: null, and remembered as null even
  // after a package that has it is loaded.
  EXPECT_EQ(r.GetFont(5), nullptr);
  ASSERT_TRUE(Load(r, SmallPackage(TestPng("alpha.png"), true)));
  EXPECT_EQ(r.GetFont(5), nullptr);
  UIResource fresh;
  ASSERT_TRUE(Load(fresh, SmallPackage(TestPng("alpha.png"), true)));
  EXPECT_EQ(FontOf(fresh.GetFont(5)).lfHeight, -9);
}

TEST(UIResource, DefaultFontsAreTheIconTitleFontVariants) {
  UIResource r;
  const LOGFONTW system = IconTitle();
  const HFONT plain = r.GetDefaultFont();
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain, r.GetDefaultFont());
  EXPECT_EQ(FontOf(plain).lfHeight, system.lfHeight);
  EXPECT_EQ(FontOf(r.GetDefaultBoldFont()).lfWeight, 700);
  EXPECT_FALSE(FontOf(r.GetDefaultBoldFont()).lfUnderline);
  EXPECT_TRUE(FontOf(r.GetDefaultUnderlineFont()).lfUnderline);
  EXPECT_NE(FontOf(r.GetDefaultUnderlineFont()).lfWeight, 700);
  EXPECT_EQ(FontOf(r.GetDefaultBoldUnderlineFont()).lfWeight, 700);
  EXPECT_TRUE(FontOf(r.GetDefaultBoldUnderlineFont()).lfUnderline);
  UIResource other;
  EXPECT_EQ(other.GetDefaultBoldFont(), r.GetDefaultBoldFont()) << "process-wide";
}

TEST(UIResource, ImageStyles) {
  UIResource r;
  ASSERT_TRUE(Load(r, SmallPackage(TestPng("alpha.png"))));
  // "bg" without "bi": the background part stays zero.
  const UIImageStyle plain = r.GetImageStyle("Box/plain", nullptr);
  EXPECT_EQ(plain.bitmap, nullptr);
  EXPECT_EQ(plain.sourceWidth, 0);
  EXPECT_EQ(plain.marginLeft, 0);
  EXPECT_EQ(plain.keyColor, 0u);

  const UIImageStyle full = r.GetImageStyle("Box/image", nullptr);
  ASSERT_NE(full.bitmap, nullptr);
  EXPECT_EQ(full.bitmap, r.GetImage(100, true));
  EXPECT_EQ(full.sourceX, 0);
  EXPECT_EQ(full.sourceY, 1);
  EXPECT_EQ(full.sourceWidth, 2);
  EXPECT_EQ(full.sourceHeight, 1);
  EXPECT_EQ(full.keyColor, RGB(255, 0, 255));
  EXPECT_EQ(full.marginLeft, 1);
  EXPECT_EQ(full.marginRight, 1);
  EXPECT_EQ(full.mode, 3);
  ASSERT_NE(full.foreBitmap, nullptr);
  EXPECT_EQ(full.foreBitmap->BitsPerPixel(), 24);
  EXPECT_EQ(full.foreWidth, 1);
  EXPECT_EQ(full.foreKeyColor, RGB(1, 2, 3));
  EXPECT_EQ(full.alignment, 16);
  EXPECT_EQ(full.offsetX, -2);
  EXPECT_EQ(full.offsetY, 5);

  // An unknown "bi" loses the background part only.
  const UIImageStyle lost = r.GetImageStyle("Box/lost", nullptr);
  EXPECT_EQ(lost.bitmap, nullptr);
  EXPECT_EQ(lost.sourceWidth, 0);
  ASSERT_NE(lost.foreBitmap, nullptr);
  EXPECT_EQ(lost.foreHeight, 2);
  EXPECT_EQ(lost.alignment, 8);

  const UIImageStyle missing = r.GetImageStyle("Box/none", nullptr);
  EXPECT_EQ(missing.bitmap, nullptr);
  EXPECT_EQ(missing.foreBitmap, nullptr);
}

TEST(UIResource, TextStylesDecodeBase64Utf8) {
  UIResource r;
  ASSERT_TRUE(Load(r, SmallPackage(TestPng("alpha.png"))));
  const UITextStyle label = r.GetTextStyle("Box/label", nullptr);
  EXPECT_EQ(label.text, L"安装目录有误");
  EXPECT_EQ(label.color, RGB(255, 104, 37));
  EXPECT_EQ(label.alignment, 37);
  EXPECT_EQ(label.offsetX, 3);
  EXPECT_EQ(label.offsetY, -4);
  EXPECT_EQ(label.font, r.GetFont(7));
  ASSERT_NE(label.font, nullptr);

  const UITextStyle plain = r.GetTextStyle("Box/plainLabel", nullptr);
  EXPECT_EQ(plain.font, nullptr);   // "ft" 0
  EXPECT_TRUE(plain.text.empty());  // "tx" that is not a string
  EXPECT_EQ(plain.alignment, 36);

  const UITextStyle missing = r.GetTextStyle("Box/nothing", nullptr);
  EXPECT_EQ(missing.font, nullptr);
  EXPECT_EQ(missing.alignment, 0);
  EXPECT_TRUE(missing.text.empty());
}

TEST(UIResource, RefusedPackageKeepsThePreviousSkin) {
  UIResource r;
  ASSERT_TRUE(Load(r, SmallPackage(TestPng("alpha.png"))));
  std::string bad = SmallPackage(TestPng("opaque.png"));
  bad[3] = 'R';
  EXPECT_FALSE(Load(r, bad));
  const std::string good = SmallPackage(TestPng("opaque.png"));
  EXPECT_FALSE(Load(r, good.substr(0, good.size() - 1)));  // last record one byte short
  EXPECT_FALSE(r.LoadFromMemory(nullptr, 5));
  EXPECT_FALSE(r.LoadFromMemory(nullptr, 0));
  ASSERT_NE(r.FindNode("Box/image", nullptr), nullptr);
  CHBitmap* image = r.GetImage(100, true);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->BitsPerPixel(), 32);  // still the first package's picture
  std::string data;
  EXPECT_TRUE(r.GetData("images", 101, data));
  EXPECT_FALSE(r.GetData("images", 102, data));
  EXPECT_TRUE(data.empty());
}

TEST(UIResource, FailedImageIsTriedAgain) {
  UIResource r;
  ASSERT_TRUE(Load(r, SmallPackage("not a png")));
  EXPECT_EQ(r.GetImage(100, true), nullptr);
  EXPECT_EQ(r.GetImage(100, true), nullptr);
  // Caches survive a second load, but nothing was cached for the failure.
  ASSERT_TRUE(Load(r, SmallPackage(TestPng("alpha.png"))));
  EXPECT_NE(r.GetImage(100, true), nullptr);
}

TEST(UIResource, ColorizationShiftsInPlaceAndRestores) {
  UIResource r;
  ASSERT_TRUE(Load(r, SmallPackage(TestPng("alpha.png"))));
  EXPECT_EQ(r.AdjustColor(RGB(12, 34, 56)), RGB(12, 34, 56));
  CHBitmap* colored = r.GetImage(101, true);
  CHBitmap* plain = r.GetImage(100, false);
  ASSERT_NE(colored, nullptr);
  ASSERT_NE(plain, nullptr);
  const std::uint32_t before = colored->PixelAt(0, 0);
  const std::uint32_t plainBefore = plain->PixelAt(0, 0);

  EXPECT_TRUE(r.SetColorization(0, 0, 200));
  EXPECT_EQ(r.GetLightness(), 200);
  EXPECT_EQ(r.GetImage(101, true), colored) << "the pointer stays valid";
  EXPECT_EQ(colored->PixelAt(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(plain->PixelAt(0, 0), plainBefore) << "not colourised";
  EXPECT_EQ(r.AdjustColor(RGB(12, 34, 56)), RGB(255, 255, 255));

  // A second shift starts from the untouched pixels, not from white.
  EXPECT_TRUE(r.SetColorization(0, 0, -200));
  EXPECT_EQ(colored->PixelAt(0, 0), 0xFF000000u);
  EXPECT_TRUE(r.SetColorization(180, 0, 0));
  EXPECT_EQ(r.GetHue(), 180);
  EXPECT_NE(colored->PixelAt(0, 0), before);

  // No shift gives back the decoded pixels exactly.
  EXPECT_TRUE(r.SetColorization(0, 0, 0));
  EXPECT_EQ(colored->PixelAt(0, 0), before);
  EXPECT_EQ(r.AdjustColor(RGB(12, 34, 56)), RGB(12, 34, 56));
}

TEST(UIResource, ImagesDecodedDuringAShiftAreShifted) {
  UIResource r;
  ASSERT_TRUE(Load(r, SmallPackage(TestPng("alpha.png"))));
  ASSERT_TRUE(r.SetColorization(0, 0, -200));
  CHBitmap* image = r.GetImage(101, true);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->PixelAt(1, 1), 0xFF000000u);
  ASSERT_TRUE(r.SetColorization(0, 0, 0));
  EXPECT_EQ(image->PixelAt(1, 1), 0xFFFFFFFFu);  // the opaque picture's white pixel
}

TEST(UIResource, ColorizationNotifiesTheThreadsWindows) {
  static int notices = 0;
  notices = 0;
  WNDCLASSW wc{};
  wc.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == UIResource::kColorShiftNotice) ++notices;
    return ::DefWindowProcW(w, m, wp, lp);
  };
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"PivsetColorShiftProbe";
  ::RegisterClassW(&wc);
  HWND top =
      ::CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr, wc.hInstance, nullptr);
  if (!top) GTEST_SKIP() << "no display for windows";
  HWND child = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD, 0, 0, 10, 10, top, nullptr, wc.hInstance, nullptr);
  HWND grandchild =
      ::CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD, 0, 0, 5, 5, child, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(grandchild, nullptr);
  UIResource r;
  EXPECT_TRUE(r.SetColorization(10, 10, 10));
  EXPECT_EQ(notices, 3);
  ::DestroyWindow(top);
}

TEST(UIResource, CurrentSkinPointer) {
  EXPECT_EQ(UIResource::Current(), nullptr);
  {
    UIResource r;
    UIResource::SetCurrent(&r);
    EXPECT_EQ(UIResource::Current(), &r);
  }
  EXPECT_EQ(UIResource::Current(), nullptr) << "a destroyed skin unregisters itself";
}
