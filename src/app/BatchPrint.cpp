#include "app/BatchPrint.h"

#include <cstdio>
#include <memory>

#include "document/CTravikDoc.h"
#include "listing/PrintLayout.h"
#include "listing/qt/ListingPrinter.h"
#include "shell/NullFrame.h"
#include "shell/SettingsStore.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFileFailed = 1;
constexpr int kExitUsage = 2;

// The open reads the user's display options; its messages go to stderr.
class BatchFrame : public NullFrame {
  public:
    explicit BatchFrame(SettingsStore& store) : store_(store) {}
    SettingsStore& Settings() override { return store_; }
    void ShowMessage(const std::string& text) override {
        std::fprintf(stderr, "travik: %s\n", text.c_str());
    }
    void ShowNotice(const std::string& text) override {
        std::fprintf(stderr, "travik: note: %s\n", text.c_str());
    }

  private:
    SettingsStore& store_;
};

std::optional<uint32_t> ParseOffset(QString text) {
    if (text.startsWith("0x", Qt::CaseInsensitive)) text = text.mid(2);
    if (text.isEmpty() || text.size() > 8) return std::nullopt;
    bool ok = false;
    const uint32_t value = text.toUInt(&ok, 16);
    // toUInt would take a sign or a second "0x"; only hex digits are an offset.
    for (QChar c : text)
        if (!c.isDigit() && !QString("abcdefABCDEF").contains(c)) return std::nullopt;
    return ok ? std::optional<uint32_t>(value) : std::nullopt;
}

int Usage(const char* problem) {
    std::fprintf(stderr,
                 "travik: %s\nusage: travik --print FLASH --from OFF --to OFF [--columns N] "
                 "-o FILE.pdf\n",
                 problem);
    return kExitUsage;
}

}  // namespace

int RunBatchPrint(const BatchPrintArgs& args, SettingsStore& settings) {
    if (args.flash.isEmpty()) return Usage("--print needs a flash file");
    if (args.from.isEmpty() || args.to.isEmpty()) return Usage("--from and --to are needed");
    if (args.output.isEmpty()) return Usage("-o FILE.pdf is needed");
    const std::optional<uint32_t> from = ParseOffset(args.from);
    const std::optional<uint32_t> to = ParseOffset(args.to);
    if (!from || !to) return Usage("--from and --to take hex image offsets");
    if (*from > *to) return Usage("--from lies after --to");
    int columns = settings::Read(settings, settings::kNumColumns);
    if (args.columns) {
        bool ok = false;
        columns = args.columns->toInt(&ok);
        if (!ok || columns < kPrintMinColumns || columns > kPrintMaxColumns)
            return Usage("--columns takes a number from 1 to 10");
    }

    BatchFrame frame(settings);
    auto doc = std::make_unique<CTravikDoc>(frame);
    doc->SetLoadDebugMarks(false);  // breakpoints are never printed
    doc->SetKeepJournal(false);     // nor is the journal of unsaved steps touched
    if (!doc->OnOpenDocument(args.flash.toLocal8Bit().toStdString())) return kExitFileFailed;
    if (*from >= doc->ImageSize()) {
        std::fprintf(stderr, "travik: --from %x lies beyond the image (%x bytes)\n", *from,
                     doc->ImageSize());
        return kExitUsage;
    }
    doc->SetSelection(*from, *to);
    QString error;
    const int pages = PrintToPdf(*doc, columns, args.output, error);
    if (pages < 0) {
        std::fprintf(stderr, "travik: %s\n", error.toLocal8Bit().constData());
        return kExitFileFailed;
    }
    return kExitOk;
}
