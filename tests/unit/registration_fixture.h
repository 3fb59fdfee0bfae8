// Controls and the application registry key on the simulated machine.
#pragma once

#include <string>
#include <vector>

#include "base/trace.h"
#include "components/app_registry.h"
#include "config/ini.h"
#include "launch_fixture.h"
#include "version_data.h"

// The application registry key of the identity WriteIni adds.
const std::string kAppKey = "Software\\Maker\\Product\\2.0";

// The control every registration test configures: type library {L} 1.0 and
// class {C}; version files newer (2.10.0.5) and older (no version) than 1.0.
inline const std::string kLib = "{L}\\1.0\\0\\win32";
inline const char* const kNew = "versioned.dll";
inline const char* const kOld = "no_version.dll";

// A full entry for control n (n as written in its key).
inline std::string Entry(const std::string& n, const std::string& file) {
  return "Ocx" + n + "=" + file + "\nOcx" + n + "TypeLib=" + kLib + "\nOcx" + n + "Clsid={C}\nOcx" +
         n + "Version=1.0\n";
}

class RegistrationTest : public LaunchTest {
 protected:
  // Reads the configuration and the application names, as the launcher does.
  void Prepare(const std::string& ini) {
    WriteIni(ini);
    ASSERT_NE(0u, GetIniFileName(Instance()));
    CreateApplicationKeys();
  }

  // A control file that registers itself as real controls do: its type
  // library and in-process server keys name its own path.
  void AddControl(const std::string& path, const std::string& type_library,
                  const std::string& clsid, const char* version_file, LONG register_status = 0,
                  std::vector<std::string> imports = {}) {
    PutVersionData(path, version_file);
    sim::AddLibrary(path,
                    {{"DllRegisterServer",
                      [=]() {
                        if (register_status != 0) return register_status;
                        sim::SetRegistryText(HKEY_CLASSES_ROOT, "TypeLib\\" + type_library, "",
                                             path);
                        sim::SetRegistryText(HKEY_CLASSES_ROOT,
                                             "CLSID\\" + clsid + "\\InprocServer32", "", path);
                        return 0;
                      }},
                     {"DllUnregisterServer",
                      [this, path]() {
                        unregistered.push_back(path);
                        return 0;
                      }}},
                    imports);
  }

  // What the registry names for a control now.
  static void Register(const std::string& type_library, const std::string& clsid,
                       const std::string& path) {
    sim::SetRegistryText(HKEY_CLASSES_ROOT, "TypeLib\\" + type_library, "", path);
    sim::SetRegistryText(HKEY_CLASSES_ROOT, "CLSID\\" + clsid + "\\InprocServer32", "", path);
  }

  // The launcher is D:\SETUP.EXE, the control D:\SETUP\B.OCX imports
  // HELPER.DLL, which lies only at helper; the control folder is D:\SETUP\CTRL.
  void ArrangeControlImporting(const std::string& helper) {
    WriteIni(
        "[Application]\nProgramName=GAME.EXE\nSplashWaveFile=intro.wav\n[SystemOcx]\nOcxPath=CTRL\n"
        "[ApplicationOcx]\n" +
        Entry("1", "B.OCX"));
    sim::MakeDirectory("D:\\SETUP\\CTRL");
    sim::WriteFile("D:\\SETUP\\GAME.EXE", "MZ");
    AddControl("D:\\SETUP\\B.OCX", kLib, "{C}", kNew, 0, {"HELPER.DLL"});
    sim::AddLibrary(helper, {});
  }

  // Control files loaded, each with its own folder searched first: by the
  // search flags once the process's search is narrowed, else the altered order.
  static std::vector<std::string> Loaded() {
    std::vector<std::string> paths;
    const char* flags = sim::DefaultDllDirectories() != 0 ? "0xd00" : "0x8";
    for (const sim::Call& call : sim::CallsTo("LoadLibraryFrom")) {
      EXPECT_EQ(flags, call.args[2]) << call.args[0];
      paths.push_back(call.args[0]);
    }
    EXPECT_TRUE(sim::CallsTo("LoadLibraryA").empty());
    return paths;
  }

  std::vector<std::string> unregistered;
};
