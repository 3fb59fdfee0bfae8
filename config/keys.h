// The configuration file's sections and keys, and the room the launcher gives
// each value (its NUL included). Every read names its section and key from
// here; each name has one value.
#pragma once

// [Application]
constexpr char kApplicationSection[] = "Application";
constexpr char kCompanyNameKey[] = "CompanyName";
constexpr char kApplicationNameKey[] = "ApplicationName";
constexpr char kApplicationVersionKey[] = "ApplicationVersion";
constexpr char kProgramNameKey[] = "ProgramName";
constexpr char kSplashWaveFileKey[] = "SplashWaveFile";
constexpr char kSplashOffTimeKey[] = "SplashOffTime";
constexpr char kMegRequiredKey[] = "MegRequired";
constexpr char kWinClassKey[] = "WinClass";
constexpr char kWinTextKey[] = "WinText";

// [SystemOcx] and [ApplicationOcx]: numbered lists of controls, Ocx<n> with
// Ocx<n>TypeLib, Ocx<n>Clsid and Ocx<n>Version. OcxPath, read from SystemOcx,
// serves both.
constexpr char kSystemOcxSection[] = "SystemOcx";
constexpr char kApplicationOcxSection[] = "ApplicationOcx";
constexpr char kOcxPathKey[] = "OcxPath";
constexpr char kOcxStem[] = "Ocx";
constexpr char kTypeLibSuffix[] = "TypeLib";
constexpr char kClsidSuffix[] = "Clsid";

// [CoreComponent]: Core<n> with Core<n>Version.
constexpr char kCoreSection[] = "CoreComponent";
constexpr char kCoreStem[] = "Core";

// The suffix of a list entry's least version, in both kinds of list.
constexpr char kVersionSuffix[] = "Version";

// Numbered list keys carry their ordinal in base 9 ("Ocx10" is the ninth).
constexpr unsigned kListKeyCapacity = 32;
constexpr unsigned kLastListOrdinal = 728;  // "888": three base-9 digits

// CompanyName, ApplicationName and ApplicationVersion as levels of the
// application registry key.
constexpr unsigned kApplicationNameCapacity = 260;
// ApplicationName as the name of the single-instance marker.
constexpr unsigned kMarkerNameCapacity = 512;
constexpr unsigned kProgramNameCapacity = 261;
// WinClass and WinText, and the class names and titles they are compared with.
constexpr unsigned kWindowTextCapacity = 260;
// OcxPath, and the control folder made of it.
constexpr unsigned kControlFolderCapacity = 261;
// Ocx<n> and its TypeLib, Clsid and Version.
constexpr unsigned kControlValueCapacity = 260;
// Core<n> and Core<n>Version.
constexpr unsigned kCoreValueCapacity = 260;
