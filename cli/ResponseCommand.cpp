// varlo-cli response: the computed response of a preset file or of a
// device's preset, as the text table on stdout, a CSV file or an SVG
// picture, with the same model and writers as the program's panel.
#include <filesystem>
#include <iostream>
#include <stdexcept>

#include "cli/DeviceCommandSupport.h"
#include "cli/DeviceCommands.h"
#include "cli/FileCommands.h"
#include "eq/DeviceBlock.h"
#include "eq/PresetFiles.h"
#include "eq/ResponseExport.h"

namespace all = pa422::all_data;

namespace {
struct Subject {
  TEqualizerDocument doc;
  std::string name;
};

Subject FromFile(const Arguments& args) {
  if (args.positional.size() != 1) throw UsageError("response needs one FILE or --address N");
  for (const char* option : {"--preset", "--port", "--device"})
    if (args.Has(option)) throw UsageError(std::string("option ") + option + " needs --address");
  const std::string& path = args.positional[0];
  // As a new window opens the file: the program's default slider range.
  Subject subject;
  ApplyPresetContents(subject.doc, ReadExactPresetFile(path, FormatOption(args, path)), SliderPolicy{});
  subject.name = std::filesystem::path(path).filename().string();
  return subject;
}

Subject FromDevice(const Arguments& args) {
  NoPositional(args, "response --address");
  if (args.Has("--format")) throw UsageError("option --format is for a FILE");
  const int address = RequiredAddress(args);
  // 0: the settings the device runs now.
  const int preset = IntegerOption(args, "--preset", 0, 0, kPresetCount);
  DeviceSession session(LineFrom(args));
  const LinkResult r = session.RecallAllData(address, preset);
  if (!r.ok) {
    if (r.notFound) throw std::runtime_error(NoDeviceAt(address, session));
    throw std::runtime_error(FailedWhile(
        address, r, preset == 0 ? "reading its settings" : "reading preset " + std::to_string(preset)));
  }
  Subject subject;
  CopyORBDataToWindow(subject.doc, r.block, SliderPolicy{}, pa422::RECALL_ALL_DATA);
  subject.name = BlockName(r.block, all::kDeviceName) + " at address " + std::to_string(address) +
                 ", preset " + std::to_string(BlockByte(r.block, all::kPreset)) + " " +
                 BlockName(r.block, all::kPresetName);
  return subject;
}
}  // namespace

int ResponseCommand(const std::vector<std::string>& rawArgs) {
  const Arguments args =
      ParseArguments(rawArgs, WithLineOptions({"--format", "--address", "--preset", "--csv", "--svg"}));
  if (args.Has("--csv") && args.Has("--svg")) throw UsageError("give --csv or --svg, not both");
  for (const char* option : {"--csv", "--svg"})
    if (args.Has(option) && args.options.at(option).empty())
      throw UsageError(std::string("option ") + option + " needs a file name");
  const Subject subject = args.Has("--address") ? FromDevice(args) : FromFile(args);

  const ResponseModel& model = DefaultResponseModel();
  if (args.Has("--svg")) {
    const ResponseCurve curve = ComputeResponse(model, subject.doc, DrawnFrequencies(model));
    WriteResponseFile(args.options.at("--svg"), ResponseSvg(model, curve, subject.name));
    return 0;
  }
  const ResponseCurve curve = ComputeResponse(model, subject.doc, TextFrequencies(model));
  if (args.Has("--csv"))
    WriteResponseFile(args.options.at("--csv"), ResponseCsv(curve));
  else
    std::cout << ResponseText(curve, subject.name);
  return 0;
}
