#include "app/SetupConfig.h"

#include "ui/Base64.h"

namespace pv {

std::string EncodeDocumentPath(std::string_view utf8) { return Base64::Encode(utf8); }

std::string DecodeDocumentPath(const JValue& element) {
  if (element.Type() != JString) return {};
  return Base64::DecodeOrEmpty(element.ToText());
}

JValue BuildUninstallDocument(const JValue& config, std::string_view rootUtf8, int channel, const JValue& files,
                              const JValue& folders) {
  using namespace SetupKeys;
  JValue doc;
  doc.Member(kMode) = JValue(0);
  JValue& setup = doc.Member(kSetup);
  setup.Member(kShortcut) = config.Find(kShortcut);
  setup.Member(kRoot) = JValue(EncodeDocumentPath(rootUtf8));
  doc.Member(kChannel) = JValue(channel);
  if (config.Has(kUninstRun)) doc.Member(kUninstRun) = config.Find(kUninstRun);
  doc.Member(kFolders) = folders;
  doc.Member(kFiles) = files;
  return doc;
}

}  // namespace pv
