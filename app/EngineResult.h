#pragma once

namespace pv {

// Result of the install engine and of the package reading it starts with.
// 0 is success; every other code has one fixed message for the user.
enum EngineResult : int {
  kEngineOk = 0,
  kPkgInvalid = 1,            // own file not readable, locator 0 or past the end
  kPkgReadFailed = 2,         // reading the file into memory failed
  kPkgConfigInvalid = 3,      // the length field and the configuration do not fit
  kPkgConfigReadFailed = 4,   // not raised
  kPkgContentInvalid = 5,     // no archive length, or the archive length is too large
  kPkgTempWriteFailed = 6,    // the temporary ZIP file could not be written
  kPkgArchiveReadFailed = 7,  // not raised
  kPkgExtractFailed = 8,      // the archive could not be opened or extracted
  kPkgVerifyFailed = 9,       // the archive does not match the configuration's "zcrc32"
  kPkgDownloadFailed = 10,    // not raised
  // Not a package error: a newer version of the product is registered and
  // the run was not allowed to replace it; nothing was touched. The code
  // Windows Installer gives for another version already installed.
  kNewerVersionInstalled = 1638,
};

inline constexpr int kEngineResultCount = 10;

// The message that belongs to a code (1 to 10); null for anything else.
inline const wchar_t* EngineResultMessage(int code) {
  switch (code) {
    case kPkgInvalid:
      return L"安装包不正确, 请重新安装";
    case kPkgReadFailed:
      return L"读取安装包失败, 请重新安装";
    case kPkgConfigInvalid:
      return L"配置文件不正确, 请重新安装";
    case kPkgConfigReadFailed:
      return L"读取配置文件失败, 请重新安装";
    case kPkgContentInvalid:
      return L"安装包内容不正确, 请重新下载";
    case kPkgTempWriteFailed:
      return L"不能写入临时文件, 请重新安装";
    case kPkgArchiveReadFailed:
      return L"读取压缩数据失败, 请重新安装";
    case kPkgExtractFailed:
      return L"解压失败, 请清理磁盘后重新安装";
    case kPkgVerifyFailed:
      return L"很抱歉，安装包校验失败，请尝试重新下载...Orz";
    case kPkgDownloadFailed:
      return L"无法下载安装包, 请从官网下载离线安装包";
    default:
      return nullptr;
  }
}

}  // namespace pv
