// Any bytes as a settings file: reading, looking up, writing back and reading again must hold up,
// and the written text must read back to itself.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "share/meminifile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    MemIniFile ini;
    ini.SetText(text);
    for (const std::string& sec : ini.ReadSections())
        for (const std::string& key : ini.ReadSection(sec)) {
            ini.ReadInteger(sec, key, 0);
            ini.ReadFloat(sec, key, 0.0);
            ini.ReadBool(sec, key, false);
        }
    ini.WriteFloat("Fuzz", "Value", size ? static_cast<double>(data[0]) / 7.0 : 0.0);
    const std::string once = ini.Text();
    MemIniFile again;
    again.SetText(once);
    if (again.Text() != once) std::abort();
    return 0;
}
