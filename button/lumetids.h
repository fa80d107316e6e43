#pragma once
// The identities the library publishes when it registers and answers to when asked for its
// class. They never change between builds: the windows' stored layouts and the registry
// entries of earlier installations depend on them.

namespace LumetIds {

inline constexpr const char* ClassId = "{E657C0F2-6D94-4633-ADEE-45CED0A0919B}";
inline constexpr const char* ClassName = "Lumet1.Lumet";
inline constexpr const char* TypeLibraryId = "{875B7CC2-F010-4C21-9C5D-04DE0F070279}";
inline constexpr const char* TypeLibraryName = "Lumet1";
inline constexpr const char* TypeLibraryVersion = "10.0";
inline constexpr int TypeLibraryLocale = 0x0409;
inline constexpr const char* DefaultInterfaceId = "{9960BF8B-021B-402E-9A39-F5B46BB0001D}";
inline constexpr const char* DefaultInterfaceName = "_Lumet";
inline constexpr const char* EventInterfaceId = "{718C9F78-AEBD-4A3A-A618-97312B0D0434}";
inline constexpr const char* EventInterfaceName = "__Lumet";
inline constexpr int ToolboxBitmapId = 30000;

} // namespace LumetIds
