#include "lighting/preview_tables.h"

#include "keys/key_catalogue.h"

namespace keyloom::lighting::preview {

namespace {

constexpr std::array<std::uint8_t, 32> kRise = {
    1,   3,   5,   7,   10,  14,  18,  22,  26,  32,  38,  44,  50,  57,  65,  73,
    81,  89,  99,  109, 119, 129, 140, 152, 164, 176, 188, 200, 213, 227, 241, 255};
constexpr std::array<std::uint8_t, 32> kFall = {
    248, 234, 220, 206, 194, 182, 170, 158, 146, 134, 124, 114, 104, 94, 85, 77,
    69,  61,  53,  47,  41,  35,  29,  24,  20,  16,  12,  8,   6,   4,  2,  0};

struct Rgb {
  std::uint8_t r, g, b;
};

constexpr std::array<Colour, kWheelStoredSize> BuildWheel() {
  std::array<Colour, kWheelStoredSize> wheel{};
  for (int s = 0; s < 6; ++s) {
    for (int k = 0; k < 32; ++k) {
      const std::uint8_t up = kRise[k], down = kFall[k];
      Rgb c{};
      switch (s) {
        case 0: c = {255, up, 0}; break;
        case 1: c = {down, 255, 0}; break;
        case 2: c = {0, 255, up}; break;
        case 3: c = {0, down, 255}; break;
        case 4: c = {up, 0, 255}; break;
        default: c = {255, 0, down}; break;
      }
      wheel[32 * s + k] = MakeColour(c.r, c.g, c.b);
    }
  }
  for (int i = kWheelSize; i < kWheelStoredSize; ++i) wheel[i] = wheel[i - kWheelSize];
  return wheel;
}

constexpr std::array<Colour, kWheelStoredSize> kWheel = BuildWheel();

// The rising half of curve A.
constexpr std::array<std::uint8_t, 48> kRisingA = {
    22,  24,  27,  30,  33,  36,  39,  42,  45,  49,  53,  57,  61,  65,  69,  73,
    77,  81,  85,  89,  94,  99,  104, 109, 114, 119, 124, 129, 134, 140, 146, 152,
    158, 164, 170, 176, 182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255};

constexpr std::array<std::uint8_t, kCurveALength> BuildCurveA() {
  std::array<std::uint8_t, kCurveALength> a{};
  for (int i = 0; i < 48; ++i) {
    a[i] = kRisingA[i];
    a[kCurveALength - 1 - i] = kRisingA[i];
  }
  return a;
}

constexpr std::array<std::uint8_t, kCurveBLength> BuildCurveB() {
  constexpr std::array<std::uint8_t, 17> kRise = {0,   4,   8,   14,  22,  33,  45,  61, 77,
                                                  94,  114, 134, 158, 182, 206, 234, 255};
  constexpr std::array<std::uint8_t, 16> kTail = {20, 18, 16, 14, 12, 10, 9, 8,
                                                  7,  6,  5,  4,  3,  2,  2, 1};
  std::array<std::uint8_t, kCurveBLength> b{};
  int n = 0;
  for (std::uint8_t v : kRise) b[n++] = v;
  for (int i = 46; i >= 0; --i) b[n++] = kRisingA[i];  // 248 down to 22
  for (std::uint8_t v : kTail) b[n++] = v;
  while (n < kCurveBLength) b[n++] = 0;
  return b;
}

constexpr std::array<std::uint8_t, kCurveCLength> BuildCurveC() {
  constexpr std::array<std::uint8_t, 16> kLow = {3, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 16, 18, 20};
  std::array<std::uint8_t, kCurveCLength> c{};
  int n = 0;
  for (std::uint8_t v : kLow) c[n++] = v;
  for (std::uint8_t v : kRisingA) c[n++] = v;
  for (int i = 0; i < 64; ++i) c[64 + i] = c[63 - i];
  return c;
}

constexpr std::array<std::uint8_t, kCurveALength> kCurveA = BuildCurveA();
constexpr std::array<std::uint8_t, kCurveBLength> kCurveB = BuildCurveB();
constexpr std::array<std::uint8_t, kCurveCLength> kCurveC = BuildCurveC();

constexpr int Wrap(int value, int length) {
  const int m = value % length;
  return m < 0 ? m + length : m;
}

// clang-format off
constexpr std::array<std::array<int, kGridColumns>, kGridRows> kGrid = {{
    {255, 1022, 255, 1010, 1011, 1012, 1013, 255, 1014, 1015, 1023, 1024, 1025, 1026, 1027, 1028, 1091, 1092, 1093, 255, 255, 255, 255},
    {255, 1029, 1030, 1031, 1032, 1033, 1034, 1035, 1036, 1037, 1038, 1039, 1040, 1041, 255, 1043, 1094, 1095, 1096, 1104, 1105, 1106, 1107},
    {255, 1056, 1044, 1045, 1046, 1047, 1048, 1049, 1050, 1051, 1052, 1053, 1054, 1055, 1042, 1042, 1097, 1098, 1099, 1108, 1109, 1110, 1111},
    {255, 1069, 1058, 1059, 1060, 1061, 1062, 1063, 1064, 1065, 1066, 1067, 1068, 255, 1070, 255, 255, 255, 255, 1112, 1113, 1114, 255},
    {1082, 1222, 1071, 1072, 1073, 1074, 1075, 1076, 1077, 1078, 1079, 1080, 255, 255, 1081, 1081, 255, 1103, 255, 1115, 1116, 1117, 1118},
    {1083, 1084, 1085, 255, 255, 255, 1090, 255, 255, 255, 1086, 1174, 1088, 255, 1089, 1089, 1100, 1101, 1102, 1120, 1120, 1119, 255},
}};

constexpr std::array<int, 105> kTwinkle = {
    1048, 1086, 1068, 1222, 1029, 1103, 1107, 1111, 1106, 1033, 1098, 1069, 1012, 1079, 1064,
    1015, 1118, 1094, 1044, 1032, 1036, 1062, 1099, 1115, 1014, 1090, 1096, 1028, 1070, 1056,
    1078, 1085, 1120, 1027, 1051, 1108, 1022, 1073, 1030, 1084, 1053, 1061, 1025, 1074, 1035,
    1083, 1026, 1010, 1081, 1065, 1116, 1089, 1055, 1092, 1093, 1049, 1038, 1109, 1105, 1114,
    1119, 1097, 1023, 1101, 1117, 1058, 1040, 1066, 1011, 1037, 1043, 1060, 1045, 1042, 1050,
    1047, 1041, 1100, 1071, 1072, 1104, 1031, 1091, 1075, 1077, 1046, 1063, 1110, 1059, 1095,
    1174, 1088, 1024, 1102, 1034, 1052, 1039, 1080, 1082, 1112, 1067, 1054, 1013, 1076, 1093};

constexpr std::array<std::array<int, 6>, 20> kSweep = {{
    {1022, 1118, 255, 255, 255, 255},
    {1010, 1119, 255, 255, 255, 255},
    {1011, 1120, 255, 255, 255, 255},
    {1012, 1102, 1029, 1118, 255, 255},
    {1013, 1101, 1030, 1117, 255, 255},
    {1014, 1100, 1031, 1116, 255, 255},
    {1015, 1089, 1032, 1115, 1056, 1111},
    {1023, 1088, 1033, 1103, 1044, 1114},
    {1024, 1174, 1034, 1081, 1045, 1113},
    {1025, 1086, 1035, 255, 1046, 1112},
    {1041, 1078, 1036, 1080, 1047, 255},
    {1055, 1065, 1037, 1079, 1048, 1070},
    {1068, 1051, 1038, 1078, 1049, 255},
    {1080, 1038, 1039, 1065, 1050, 1068},
    {1079, 1039, 1053, 1051, 1051, 1067},
    {1078, 1040, 1066, 1038, 1052, 1066},
    {1065, 1041, 1065, 1039, 1053, 1065},
    {1051, 1055, 1051, 1053, 1054, 255},
    {1038, 1068, 255, 255, 1066, 255},
    {1039, 1080, 255, 255, 255, 255},
}};

constexpr std::array<std::array<int, 2>, 16> kPairs = {{
    {1038, 1080}, {1039, 1079}, {1040, 1078}, {1041, 1065}, {1055, 1051}, {1068, 1038},
    {1080, 1039}, {1079, 1040}, {1078, 1041}, {1065, 1055}, {1051, 1068}, {1052, 1067},
    {1053, 1066}, {1054, 1052}, {1067, 1053}, {1066, 1054},
}};

constexpr std::array<int, 105> kSnake = {
    1093, 1092, 1091, 1028, 1027, 1026, 1025, 1024, 1023, 1015, 1014, 1013, 1012, 1011, 1010,
    1022, 1029, 1056, 1069, 1082, 1083, 1084, 1085, 1090, 1086, 1174, 1088, 1089, 1100, 1101,
    1102, 1120, 1119, 1118, 1111, 1107, 1106, 1105, 1104, 1096, 1095, 1094, 1043, 1041, 1040,
    1039, 1038, 1037, 1036, 1035, 1034, 1033, 1032, 1031, 1030, 1044, 1058, 1222, 1071, 1072,
    1073, 1074, 1075, 1076, 1077, 1078, 1079, 1080, 1081, 1103, 1115, 1116, 1117, 1114, 1110,
    1109, 1108, 1099, 1098, 1097, 1042, 1055, 1054, 1053, 1052, 1051, 1050, 1049, 1048, 1047,
    1046, 1045, 1059, 1060, 1061, 1062, 1063, 1064, 1065, 1066, 1067, 1068, 1070, 1112, 1113};

constexpr std::array<std::array<int, 12>, 12> kRings = {{
    {1052, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255},
    {1038, 1051, 1065, 1066, 1053, 1039, 255, 255, 255, 255, 255, 255},
    {1024, 1037, 1050, 1064, 1077, 1078, 1079, 1067, 1054, 1040, 255, 255},
    {1023, 1036, 1049, 1063, 1076, 1086, 1080, 1068, 1055, 1041, 1025, 255},
    {1015, 1035, 1048, 1062, 1075, 1174, 1070, 1042, 1043, 1026, 1027, 255},
    {1014, 1034, 1047, 1061, 1074, 1090, 1081, 1088, 1089, 1097, 1094, 1028},
    {1013, 1033, 1046, 1060, 1073, 1100, 1103, 1098, 1095, 1091, 255, 255},
    {1012, 1032, 1045, 1059, 1072, 1101, 1102, 1099, 1096, 1093, 1092, 255},
    {1011, 1031, 1044, 1058, 1071, 1085, 1115, 1112, 1108, 1104, 255, 255},
    {1010, 1030, 1056, 1069, 1082, 1084, 1120, 1116, 1113, 1109, 1105, 1222},
    {1022, 1029, 1083, 1119, 1117, 1114, 1110, 1106, 255, 255, 255, 255},
    {1118, 1111, 1107, 255, 255, 255, 255, 255, 255, 255, 255, 255},
}};
// clang-format on

}  // namespace

Colour WheelEntry(int index) { return kWheel[Wrap(index, kWheelStoredSize)]; }
Colour WheelAtPhase(int phase) { return kWheel[Wrap(phase + 12, kWheelSize)]; }

std::uint8_t CurveA(int index) { return kCurveA[Wrap(index, kCurveALength)]; }
std::uint8_t CurveB(int index) { return kCurveB[Wrap(index, kCurveBLength)]; }
std::uint8_t CurveC(int index) { return kCurveC[Wrap(index, kCurveCLength)]; }

Colour ScaleColour(Colour colour, int brightness) {
  if (brightness < 0) brightness = 0;
  if (brightness > 255) brightness = 255;
  auto scale = [brightness](std::uint8_t channel) {
    return std::uint8_t(channel * brightness / 255);
  };
  return MakeColour(scale(Red(colour)), scale(Green(colour)), scale(Blue(colour)));
}

int GridKey(int row, int column) {
  if (row < 0 || row >= kGridRows || column < 0 || column >= kGridColumns) return kNoKey;
  return kGrid[row][column];
}

int KeyPosition(int id) {
  // Key buttons have control ids 1000..1255.
  static const std::array<std::int16_t, 256> positions = [] {
    std::array<std::int16_t, 256> table{};
    table.fill(-1);
    for (int g : keys::GKeyControlIds()) table[g - 1000] = keys::kGKeyColourPosition;
    for (const keys::PanelOrderKey& key : keys::PanelOrderKeys())
      table[key.controlId - 1000] = std::int16_t(key.colourPosition);
    table[kFnKeyId - 1000] = kFnKeyPosition;
    return table;
  }();
  if (id < 1000 || id >= 1256) return -1;
  return positions[id - 1000];
}

const std::array<int, 105>& TwinkleSequence() { return kTwinkle; }
const std::array<std::array<int, 6>, 20>& SweepTable() { return kSweep; }
const std::array<std::array<int, 2>, 16>& PairTable() { return kPairs; }
const std::array<int, 105>& SnakeOrder() { return kSnake; }
const std::array<std::array<int, 12>, 12>& Rings() { return kRings; }

}  // namespace keyloom::lighting::preview
