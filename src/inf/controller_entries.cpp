#include "inf/controller_entries.h"

#include <string>
#include <string_view>

#include "inf/line_reader.h"
#include "inf/variant_texts.h"

namespace ide {
namespace {

// Blanks that may stand before the "[" of the hardware section's header.
constexpr std::string_view kHeaderIndent = " \t";

bool IsHardwareHeader(std::string_view line) {
  const std::size_t first = line.find_first_not_of(kHeaderIndent);
  if (first == std::string_view::npos || line[first] != '[') return false;
  // The name is looked for anywhere in the line, in exactly these letters.
  return line.find(kHardwareSectionHeader) != std::string_view::npos;
}

bool IsArgumentHeader(PlatformServices& os, std::string_view line) {
  const std::string token(FirstToken(line));
  return !token.empty() && os.lstrcmpiA(token.c_str(), kArgumentSectionHeader) == 0;
}

// Copies one copy's worth of the distribution INF, opened afresh. Returns
// false when the file could not be opened or a read from it failed (the
// section copied would then be cut short).
template <typename Copy>
bool CopyFromDistributionInf(PlatformServices& os, const char* name,
                             InfWriter& out, Copy copy) {
  // The bare name: the driver's INF lies in the folder setup runs from.
  TextFile source = os.OpenTextFile(name, TextMode::Read);
  if (source == nullptr) return false;
  copy(os, source, out);
  const bool readWhole = !os.TextFileFailed(source);
  os.CloseTextFile(source);
  return readWhole;
}

}  // namespace

void CopyHardwareSection(PlatformServices& os, TextFile source,
                         InfWriter& out) {
  LineReader reader(os, source);
  std::string line;
  while (reader.ReadLine(line)) {
    if (!IsHardwareHeader(line)) continue;
    out.Write(line);
    // The section runs to the next line that holds a "[" anywhere; that
    // line is left out.
    while (reader.ReadLine(line) &&
           line.find('[') == std::string::npos) {
      out.Write(line);
    }
    // Whatever follows in the class INF starts on a line of its own, even
    // when the copy stopped inside a long line or the file's last line had
    // no line end.
    out.EndLine();
    return;
  }
}

void CopyArgumentSections(PlatformServices& os, TextFile source,
                          InfWriter& out) {
  LineReader reader(os, source);
  std::string line;
  while (reader.ReadLine(line)) {
    if (!IsArgumentHeader(os, line)) continue;
    out.Write(line);
    bool closedByEmptyLine = false;
    while (reader.ReadLine(line)) {
      if (FirstToken(line).empty()) {
        // The empty line ending the section, whatever blanks it held.
        out.Write("\n");
        closedByEmptyLine = true;
        break;
      }
      out.Write(line);
    }
    if (!closedByEmptyLine) {
      // The end of the file closed the section: it ends there, but its
      // last line must not run into the class INF line that follows.
      out.EndLine();
      return;
    }
  }
}

int WriteControllerEntries(PlatformServices& os, SetupState& state,
                           InfWriter& out) {
  const VariantTexts& texts = TextsForVariant(state.variant);
  state.driverFileName = texts.driverFile;

  // A section may stop inside a long line of the class INF; the entries
  // still begin on a line of their own.
  out.EndLine();
  out.Write(texts.modelPciLine);
  out.Write(texts.modelPrimaryLine);
  out.Write(texts.modelSecondaryLine);
  out.Write(kDualMasterSection);
  out.Write(kStandardMfSection);
  out.Write(kMasterIdeSection);
  out.Write(texts.esdiSections);
  out.Write(kIdePropSection);

  const bool hardwareCopied = CopyFromDistributionInf(
      os, texts.distributionInf, out, CopyHardwareSection);
  const bool argumentsCopied =
      hardwareCopied && CopyFromDistributionInf(os, texts.distributionInf,
                                                out, CopyArgumentSections);
  return hardwareCopied && argumentsCopied && out.ok() ? 1 : 0;
}

}  // namespace ide
