#include "script/command_table.h"

#include <array>

namespace vv::script {

namespace {

// Argument builders, so that each table row reads as one line.
constexpr ArgumentSpec Num(std::string_view name, std::string_view doc, uint8_t check = 0) {
  return {name, kNumberValue, check, ArgRole::kValue, false, doc};
}
constexpr ArgumentSpec NumOp(std::string_view name, std::string_view doc, uint8_t check = 0) {
  return {name, kNumberValue, check, ArgRole::kValue, true, doc};
}
constexpr ArgumentSpec Text(std::string_view name, std::string_view doc) {
  return {name, kTextValue, 0, ArgRole::kValue, false, doc};
}
constexpr ArgumentSpec Raw(std::string_view name, std::string_view doc) {
  return {name, kRawValue, 0, ArgRole::kValue, false, doc};
}
constexpr ArgumentSpec Out(std::string_view name, std::string_view doc) {
  return {name, kNumberValue, 0, ArgRole::kOutput, false, doc};
}
constexpr ArgumentSpec Sel(std::string_view name, std::string_view doc) {
  return {name, kNumberValue, 0, ArgRole::kSelector, false, doc};
}
constexpr ArgumentSpec Label(std::string_view name, std::string_view doc) {
  return {name, kTextValue, 0, ArgRole::kLabel, false, doc};
}
constexpr ArgumentSpec Pos(std::string_view name, std::string_view doc) {
  return {name, kLeftAlone, 0, ArgRole::kPosition, false, doc};
}
constexpr ArgumentSpec Unused(std::string_view name) { return {name, kLeftAlone, 0, ArgRole::kUnused, false, ""}; }

// Names of generated argument families ("flag0".."flag90", "int1".."int8").
template <size_t N, size_t Len>
struct NameBlock {
  std::array<std::array<char, Len>, N> names{};
  constexpr NameBlock(std::string_view prefix, int first) {
    for (size_t i = 0; i < N; ++i) {
      size_t p = 0;
      for (char c : prefix) names[i][p++] = c;
      int v = first + static_cast<int>(i);
      char digits[4] = {};
      int n = 0;
      do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
      } while (v > 0);
      while (n > 0) names[i][p++] = digits[--n];
    }
  }
  constexpr std::string_view operator[](size_t i) const {
    size_t len = 0;
    while (len < Len && names[i][len] != 0) ++len;
    return {names[i].data(), len};
  }
};

// ---- 0..3: layers -------------------------------------------------------

constexpr ArgumentSpec kLayerSet[] = {
    Text("name", "layer path; a trailing \"/\" makes a group layer"),
    Num("number", "appended to the name as \".\" and the number; the default priority of a new layer"),
    Num("visible", "0 hides the layer, 1 shows it"),
    NumOp("opacity", "0..256, 256 is fully opaque (add and subtract stay inside 0..256)"),
    NumOp("x", "left edge in the parent's pixels"),
    NumOp("y", "top edge in the parent's pixels"),
    Num("width", "size of a group layer; crop or pad width of an image layer (with file)", 21),
    Num("height", "likewise for the height", 21),
    NumOp("priority", "drawing order among the siblings; higher is drawn later (on top)"),
    Text("file", "image file to load"),
    Text("alphaLayer", "layer whose blue bytes become this layer's alpha"),
    Num("alphaLayerNumber", "appended to alphaLayer as \".\" and the number"),
    Unused("unused12"),
    NumOp("maskLevel", "transition mask level 0..256; at 256 the mask is ignored"),
    Text("mask", "path of the transition mask layer"),
    Num("maskNumber", "appended to mask as \".\" and the number"),
    Num("maskVague", "softness of the mask edge; 256 is a hard edge"),
    Num("blend", "blend operation 0..18", 10),
    NumOp("frame", "frame of an animated image"),
};

constexpr ArgumentSpec kLayerDraw[] = {
    Text("name", "target layer path"),
    Num("number", "appended to the target path"),
    Text("second", "second layer: receives the result, or is combined with the target"),
    Num("secondNumber", "appended to the second path"),
    Text("third", "third layer (crossFade)"),
    Num("thirdNumber", "appended to the third path"),
    Unused("unused6"),
    Raw("value", "the operation's parameter (an unsigned 32-bit number)"),
    Text("text", "the text for drawText"),
    Num("left", "rectangle left, or drawing position"),
    Num("top", "rectangle top, or drawing position"),
    Num("right", "rectangle right (inclusive)"),
    Num("bottom", "rectangle bottom (inclusive)"),
    Num("newWidth", "output width of the scaling operations, 1..8192"),
    Num("newHeight", "output height of the scaling operations, 1..8192"),
    Sel("scaleNearest", "scale to newWidth x newHeight, nearest pixel"),
    Sel("scaleSmooth", "scale, bilinear"),
    Sel("scaleCubic", "scale, bicubic"),
    Sel("scaleAverage", "reduce by block averaging (1) or diagonal pairs (2)"),
    Sel("rotate", "rotate the whole layer by value degrees"),
    Sel("saturation", "saturation, value 0..256"),
    Sel("tone", "colour tone, value 0xRRGGBB"),
    Sel("sepia", "sepia tone"),
    Sel("drawOver", "draw the target onto the second layer"),
    Sel("drawOverScaled", "the same, the second layer's alpha scaled by its opacity"),
    Sel("crossFade", "mix target and second layer into the third"),
    Sel("extractDifference", "keep the target's pixels where the second layer differs"),
    Sel("keepEqual", "keep pixels where both layers agree"),
    Sel("autoCrop", "crop to the pixels with alpha other than 0"),
    Sel("brightness", "brightness, value 0..256 (128 unchanged)"),
    Sel("threshold", "black and white by threshold, value 0..256"),
    Sel("flipVertical", "flip upside down"),
    Sel("mirror", "flip left to right"),
    Sel("mosaic", "mosaic with blocks of value pixels"),
    Sel("blur", "box blur of radius value"),
    Sel("scramble", "scramble value passes"),
    Sel("negate", "negative picture"),
    Sel("fillColor", "fill the rectangle with colour value"),
    Sel("setAlpha", "set the rectangle's alpha to value"),
    Sel("fillArgb", "fill the rectangle with the 32-bit value 0xAARRGGBB"),
    Sel("drawText", "draw text at left, top with the current text style"),
    Sel("copyLayer", "copy pixels and drawing properties into the second layer"),
    Sel("copyPixels", "copy the rectangle's pixels into the second layer"),
    Sel("swapImages", "exchange names and order of target and second layer"),
    Sel("swapLayers", "the same, and their drawing properties"),
};

constexpr ArgumentSpec kLayerName[] = {
    Text("name", "layer path; a trailing \"/\" names a group layer"),
    Num("number", "appended to the name as \".\" and the number"),
};

constexpr ArgumentSpec kLayerGet[] = {
    Text("name", "layer path; a trailing \"/\" names a group layer"),
    Num("number", "appended to the name as \".\" and the number"),
    Sel("exists", "1 when the layer exists"),
    Sel("visible", "visibility"),
    Sel("opacity", "opacity"),
    Sel("x", "left edge"),
    Sel("y", "top edge"),
    Sel("priority", "drawing order"),
    Unused("unused8"),
    Sel("maskLevel", "mask level"),
    Sel("mask", "mask path (into a text variable)"),
    Sel("maskVague", "mask edge softness"),
    Sel("blend", "blend operation"),
    Sel("frame", "current frame"),
    Sel("frameCount", "number of frames"),
    Sel("width", "width"),
    Sel("height", "height"),
    Sel("frameLoops", "loop count of the current animation frame"),
    Sel("frameDelay", "delay of the current animation frame"),
    Sel("screenColor", "colour 0xRRGGBB of this layer under a window point, -1 if none"),
    Sel("screenAlpha", "alpha under a window point, -1 if none"),
    Sel("screenArgb", "0xAARRGGBB under a window point (signed 32-bit), -1 if none"),
    Sel("pixelColor", "colour at layer pixel (px, py), -1 outside"),
    Sel("opaqueBound", "an edge of the box of visible pixels: px 1 top, 2 bottom, 3 left, 4 right"),
    Out("target", "variable that receives the result"),
    Num("px", "x coordinate"),
    Num("py", "y coordinate"),
};

// ---- 4..6: clipboard and dialogs ----------------------------------------

constexpr ArgumentSpec kClipboardSet[] = {
    Sel("enable", "must be given for anything to happen"),
    Text("text", "text placed on the clipboard"),
};

constexpr ArgumentSpec kClipboardGet[] = {
    Sel("enable", "must be given for anything to happen"),
    Out("target", "text variable receiving the clipboard text"),
};

constexpr ArgumentSpec kInputDialog[] = {
    Text("caption", "caption of the box"),
    Text("message", "message text"),
    Unused("unused2"),
    Unused("unused3"),
    Unused("unused4"),
    Unused("unused5"),
    Unused("unused6"),
    Unused("unused7"),
    Unused("unused8"),
    Text("initialText", "initial text of the input field"),
    Out("textTarget", "text variable receiving the input"),
    Out("resultTarget", "variable receiving the button pressed (1, 2, 3)"),
    Unused("unused12"),
    Sel("okCancel", "buttons OK and Cancel"),
    Sel("yesNo", "buttons Yes and No"),
    Sel("yesNoCancel", "buttons Yes, No and Cancel"),
    Sel("input", "show the one-line input dialog instead of a message box"),
    Num("maxLength", "input length limit (0: none)", 1),
    Num("defaultButton", "default button 1..3", 6),
    Num("icon", "1 information, 2 question, 3 warning, 4 error"),
};

// ---- 7..10: blocks, end, option flags, checks ---------------------------

constexpr ArgumentSpec kBlockElse[] = {
    Num("condition", "the branch runs when it is not 0"),
    Pos("next", "position of the next branch"),
    Pos("end", "position of the block end"),
};

constexpr ArgumentSpec kEnd[] = {
    Num("restart", "1 starts the program again after it has ended"),
};

struct OptionFlagNames {
  NameBlock<91, 8> flags{"flag", 0};
};
constexpr OptionFlagNames kOptionFlagNames{};

constexpr auto kOptionFlags = [] {
  std::array<ArgumentSpec, 93> a{};
  a[0] = Unused("unused0");
  a[1] = Unused("unused1");
  for (size_t i = 0; i < 91; ++i)
    a[i + 2] = Num(kOptionFlagNames.flags[i], "option flag (flag0: a missing image layer without file is an error)");
  return a;
}();

// One argument per range check, so that a script can have a value checked
// exactly as a command argument would be.
constexpr ArgumentSpec kCheck[] = {
    Num("value", "any number", 0),
    Num("nonNegative", "0 or more", 1),
    Num("positive", "1 or more", 2),
    Num("range0to1", "0..1", 3),
    Num("range0to2", "0..2", 4),
    Num("range0to3", "0..3", 5),
    Num("range1to3", "1..3", 6),
    Num("range0to4", "0..4", 7),
    Num("range1to8", "1..8", 8),
    Num("range0to15", "0..15", 9),
    Num("range0to18", "0..18", 10),
    Num("range0to256", "0..256", 11),
    Num("range1to256", "1..256", 12),
    Num("range0to512", "0..512", 13),
    Num("range0to1024", "0..1024", 14),
    Num("range1to1024", "1..1024", 15),
    Num("range128to1024", "128..1024", 16),
    Num("range0to2048", "0..2048", 17),
    Num("range1to2048", "1..2048", 18),
    Num("range16to2048", "16..2048", 19),
    Num("range128to2048", "128..2048", 20),
    Num("range1to8192", "1..8192", 21),
    Num("colorOrNone", "a colour 0xRRGGBB or -1", 22),
    Num("color", "a colour 0xRRGGBB", 23),
    Num("screenX", "0 .. main window width - 1", 24),
    Num("screenY", "0 .. main window height - 1", 25),
    Num("index0to3", "0..3", 26),
};

constexpr ArgumentSpec kEvaluate[] = {
    Num("value", "a number, evaluated and dropped"),
    Text("text", "a text, evaluated and dropped"),
};

// ---- 11..19: services, declarations, text style, frame rate ------------

constexpr ArgumentSpec kShell[] = {
    Text("path", "file path A"),
    Text("path2", "file path B (copy destination)"),
    Text("folder", "folder path (delete an empty folder)"),
    Sel("copy", "copy path to path2"),
    Sel("delete", "delete path (\".sd\" appended) or folder"),
    Sel("run", "start path as a program or open it as a document"),
    Text("parameters", "parameters for run"),
    Text("layer", "layer to export to path"),
    Num("layerNumber", "appended to the layer path"),
    Num("bmp", "1: export as BMP"),
    Num("png", "1: export as PNG"),
    Sel("preload", "load path into the memory cache"),
};

constexpr ArgumentSpec kFileFind[] = {
    Text("folder", "a folder name"),
    Text("file", "a game file name"),
    Text("image", "an image name (extensions tried)"),
    Text("sound", "a sound name (extensions tried)"),
    Sel("exists", "1 when it exists"),
    Sel("size", "size of the game file in bytes"),
    Sel("program", "the program associated with the file"),
    Out("target", "variable that receives the result"),
};

constexpr ArgumentSpec kFlashOpen[] = {
    Text("file", "movie file"),
    Num("play", "1: create the window and play"),
    NumOp("x", "window x"),
    NumOp("y", "window y"),
    NumOp("width", "window width"),
    NumOp("height", "window height"),
    Num("value", "a number kept with the movie"),
};

constexpr ArgumentSpec kFlashQuery[] = {
    Sel("playing", "1 while playing"),
    Sel("x", "window x"),
    Sel("y", "window y"),
    Sel("width", "window width"),
    Sel("height", "window height"),
    Sel("frame", "current frame"),
    Sel("value", "the number kept with the movie"),
    Sel("frameCount", "total frame count"),
    Out("target", "variable that receives the result"),
};

constexpr ArgumentSpec kDeclare[] = {
    // Read by the command in declaration mode; evaluating it normally would
    // read the variable that is not declared yet.
    {"variable", kLeftAlone, 0, ArgRole::kValue, false, "the variable, with its dimension sizes as subscripts"},
    Raw("initial", "value of every element"),
};

constexpr ArgumentSpec kTextStyle[] = {
    Num("font", "font number 1..count"),
    Text("fontName", "font face name; an unknown name changes nothing"),
    Num("antialias", "1 smooth glyphs, other values hard edges"),
    NumOp("color", "text colour 0xRRGGBB"),
    NumOp("blend", "0 glyphs replace pixels, 1 glyphs are drawn over them"),
    NumOp("size", "size in pixels 0..256"),
    NumOp("bold", "0 or 1"),
};

constexpr ArgumentSpec kTextInfo[] = {
    Num("font", "font number for fontName and nonJapanese (default: the current font)"),
    Num("fontName", "1: face name of the font (into a text variable)"),
    Sel("antialias", "antialias setting"),
    Sel("color", "text colour"),
    Sel("blend", "blend setting"),
    Sel("size", "text size"),
    Sel("bold", "bold setting"),
    Num("fontCount", "1: number of fonts"),
    Sel("zero", "0"),
    Num("nonJapanese", "1: 1 when the font is not a Japanese font"),
    Sel("width", "width of the first character of text"),
    Sel("height", "height of the first character of text"),
    Sel("width2", "the same as width"),
    Sel("height2", "the same as height"),
    Unused("unused14"),
    Text("text", "the text measured"),
    Out("target", "variable that receives the result"),
};

constexpr ArgumentSpec kFrameRate[] = {
    Num("fps", "frames per second", 2),
    Num("frameSkip", "1: late frames skip their presentation"),
};

// ---- 24..40: control flow, input, assignment, load ----------------------

constexpr ArgumentSpec kJump[] = {
    Label("label", "label to continue at"),
};

struct ParameterNames {
  NameBlock<8, 8> ints{"int", 1};
  NameBlock<8, 8> floats{"float", 1};
  NameBlock<8, 8> texts{"text", 1};
};
constexpr ParameterNames kParameterNames{};

constexpr auto kCall = [] {
  std::array<ArgumentSpec, 25> a{};
  a[0] = Label("label", "label of the subroutine");
  for (size_t i = 0; i < 8; ++i) {
    a[1 + i] = Num(kParameterNames.ints[i], "integer parameter");
    a[9 + i] = Raw(kParameterNames.floats[i], "float parameter");
    a[17 + i] = Text(kParameterNames.texts[i], "text parameter");
  }
  return a;
}();

constexpr auto kReturn = [] {
  std::array<ArgumentSpec, 24> a{};
  for (size_t i = 0; i < 8; ++i) {
    a[i] = Num(kParameterNames.ints[i], "integer return value");
    a[8 + i] = Raw(kParameterNames.floats[i], "float return value");
    a[16 + i] = Text(kParameterNames.texts[i], "text return value");
  }
  return a;
}();

constexpr ArgumentSpec kBlockBegin[] = {
    Num("condition", "the first branch runs when it is not 0"),
    Pos("else", "position of the first else branch"),
    Pos("end", "position of the block end"),
};

constexpr ArgumentSpec kLevels[] = {
    Num("levels", "how many enclosing blocks or loops (default 1)"),
};

constexpr ArgumentSpec kInputSwitch[] = {
    Num("keyboard", "keyboard input on (1) or off (0)"),
    Num("joystick", "joystick input on or off"),
    Num("mouse", "mouse input on or off (off also hides the cursor)"),
};

constexpr ArgumentSpec kLabelExists[] = {
    Label("label", "the label name"),
    Out("target", "variable that receives 1 or 0"),
    Sel("query", "must be given for anything to happen"),
};

constexpr ArgumentSpec kAssign[] = {
    Raw("target", "the variable or element assigned"),
    Raw("value", "the value"),
};

constexpr ArgumentSpec kSaveLoad[] = {
    Text("file", "save file name in the save folder (\".sd\" appended)"),
    Num("block", "block number 1..1024"),
    Out("variable", "the variable or element saved or loaded (&name: the whole variable)"),
    Text("layer", "layer saved or loaded"),
    Num("layerNumber", "appended to the layer path"),
};

constexpr ArgumentSpec kCountLoopBegin[] = {
    Num("count", "how many times the body runs (-1: endlessly)"),
    Pos("end", "position of the loop end"),
};

// ---- 42..53: math, menus, cursor, movies, libraries ---------------------

constexpr ArgumentSpec kMath[] = {
    Out("target", "variable that receives the result"),
    Raw("x", "operand X"),
    Raw("y", "operand Y"),
    Text("text", "text of the crc operation"),
    Sel("sin", "sine of x (radians)"),
    Sel("asin", "arcsine of x"),
    Sel("sinh", "hyperbolic sine of x"),
    Sel("cos", "cosine of x"),
    Sel("acos", "arccosine of x"),
    Sel("cosh", "hyperbolic cosine of x"),
    Sel("tan", "tangent of x"),
    Sel("atan", "arctangent of x"),
    Sel("atan2", "angle of the point (y, x): y is the x coordinate"),
    Sel("tanh", "hyperbolic tangent of x"),
    Sel("sqrt", "square root of x"),
    Sel("abs", "absolute value of x"),
    Sel("exp", "e to the power x"),
    Sel("log", "natural logarithm of x"),
    Sel("log10", "base-10 logarithm of x"),
    Sel("pow", "x to the power y"),
    Sel("random", "random integer between x and y"),
    Sel("crc", "CRC-32 of text"),
};

constexpr ArgumentSpec kMenuItemSet[] = {
    Text("path", "item path in the menu tree; a trailing \"/\" makes a submenu"),
    Text("text", "item text; empty makes a separator"),
    NumOp("order", "order among the siblings"),
    Num("shown", "0 leaves the item out"),
    Num("enabled", "0 greys the item out"),
    Num("checked", "1 shows a check mark"),
    Num("commandId", "number reported when the item is chosen"),
};

constexpr ArgumentSpec kMenuPopup[] = {
    Text("path", "menu whose items pop up at the cursor"),
    Num("show", "must be 1"),
};

constexpr ArgumentSpec kMenuItemDelete[] = {
    Text("path", "item path; a submenu is deleted with its items"),
};

constexpr ArgumentSpec kMenuItemGet[] = {
    Out("target", "variable that receives the result"),
    Text("path", "item path"),
    Sel("text", "item text (into a text variable)"),
    Sel("exists", "1 when the item exists"),
    Sel("order", "order key"),
    Sel("shown", "shown flag"),
    Sel("enabled", "enabled value"),
    Sel("checked", "check mark"),
    Sel("commandId", "command number"),
};

constexpr ArgumentSpec kCursor[] = {
    Num("mode", "0 hidden, 1 hidden after a while without mouse use, 2 always visible", 4),
    Num("hideDelay", "milliseconds before the cursor hides in mode 1", 1),
    Num("showOnMove", "1: moving the mouse shows a hidden cursor"),
    Num("showOnButton", "1: a mouse button shows a hidden cursor"),
    Num("showOnWheel", "1: the wheel shows a hidden cursor"),
    Num("x", "move the cursor to this x in the main window"),
    Num("y", "move the cursor to this y in the main window"),
    Num("shape", "1 text beam, 2 wait, 3 cross, 4 up arrow, 5..9 sizing, 10 no, 11 hand, 12 busy, 13 help, other arrow"),
};

constexpr ArgumentSpec kMovie[] = {
    Text("file", "movie file"),
    Num("play", "1 plays, 0 stops"),
    NumOp("x", "window x"),
    NumOp("y", "window y"),
    NumOp("width", "window width"),
    NumOp("height", "window height"),
    Num("volume", "volume 0..256", 11),
    Num("player", "1 the default player, 0 the simple player"),
};

constexpr ArgumentSpec kMovieInfo[] = {
    Sel("playing", "1 while playing"),
    Sel("x", "window x"),
    Sel("y", "window y"),
    Sel("width", "window width"),
    Sel("height", "window height"),
    Sel("volume", "volume"),
    Out("target", "variable that receives the result"),
};

constexpr ArgumentSpec kDllCall[] = {
    Text("library", "library file (\".dll\" appended)"),
    Text("function", "exported function name"),
    Num("value", "integer argument"),
    Unused("unused3"),
    Text("text", "text argument"),
    Unused("unused5"),
    Unused("unused6"),
    Unused("unused7"),
    Out("result", "variable that receives the integer result"),
    Unused("unused9"),
    Out("textResult", "text variable that receives the text result"),
};

constexpr ArgumentSpec kRegistry[] = {
    Text("key", "key path starting with the root key name"),
    Text("value", "value name"),
    Out("target", "text variable that receives the value"),
};

// ---- 54..68: return, messages, save, sound -------------------------------

constexpr ArgumentSpec kNote[] = {
    {"text", kLeftAlone, 0, ArgRole::kValue, false, "any expression; never evaluated"},
};

constexpr ArgumentSpec kSoundPlay[] = {
    Text("name", "sound object name"),
    Num("number", "appended to the name as \".\" and the number"),
    Num("audible", "0 mutes the object, 1 makes it audible"),
    Text("file", "sound file to load"),
    Num("play", "1 plays, other values stop"),
    Num("fade", "fade time in milliseconds for play or stop", 1),
    Num("start", "start position in milliseconds", 1),
    Num("loopStart", "loop start in milliseconds", 1),
    Num("loopEnd", "loop end in milliseconds", 1),
    Num("loopCount", "loop count (0: endless)", 1),
    Num("volume", "volume 0..256", 11),
    Num("pan", "pan 0..512, 256 is the centre", 13),
    Num("speed", "speed 0..512, 256 is normal", 13),
};

constexpr ArgumentSpec kSoundName[] = {
    Text("name", "sound object name"),
    Num("number", "appended to the name as \".\" and the number"),
};

constexpr ArgumentSpec kSoundInfo[] = {
    Text("name", "sound object name"),
    Num("number", "appended to the name as \".\" and the number"),
    Sel("loaded", "1 when a file is loaded"),
    Sel("audible", "audible flag"),
    Sel("playing", "1 while playing"),
    Sel("volume", "volume"),
    Sel("pan", "pan"),
    Sel("speed", "speed"),
    Sel("file", "file name (into a text variable)"),
    Sel("kind", "0 none, 1 Ogg Vorbis, 2 WAV"),
    Sel("start", "start position (ms)"),
    Sel("loopStart", "loop start (ms)"),
    Sel("loopEnd", "loop end (ms)"),
    Sel("loopCount", "loop count"),
    Sel("passes", "loop passes completed"),
    Sel("position", "play position (ms)"),
    Sel("length", "length (ms)"),
    Sel("channels", "channels"),
    Sel("bits", "bits per sample"),
    Sel("rate", "sample rate"),
    Sel("bytesPerSecond", "average bytes per second"),
    Sel("bytesPerSecond2", "the same as bytesPerSecond"),
    Out("target", "variable that receives the result"),
};

constexpr ArgumentSpec kEngineSwitch[] = {
    Num("blockScreenSaver", "1 keeps the screen saver from starting"),
    Num("runInactive", "1 keeps the script running while the window is inactive"),
};

// ---- 70..84: contexts, messages, tray, text, variables, wait, windows ---

constexpr ArgumentSpec kContext[] = {
    Text("name", "context name (default: the running context)"),
    Num("number", "appended to the name as \".\" and the number"),
    Num("enableA", "the context runs while enableA and enableB have a bit in common"),
    Num("enableB", "see enableA"),
    NumOp("order", "run order key; higher runs earlier in a pass"),
    Label("label", "start a new context at this label"),
    Text("state", "restore a state taken with contextGet state"),
    Unused("unused7"),
    Sel("runNow", "run the contexts again in this frame"),
};

constexpr ArgumentSpec kContextName[] = {
    Text("name", "context name (default: the running context)"),
    Num("number", "appended to the name as \".\" and the number"),
};

constexpr ArgumentSpec kContextInfo[] = {
    Text("name", "context name (default: the running context)"),
    Num("number", "appended to the name as \".\" and the number"),
    Out("target", "variable that receives the result"),
    Sel("exists", "1 when the context exists"),
    Sel("enableA", "enableA"),
    Sel("enableB", "enableB"),
    Sel("order", "run order key"),
    Sel("fileName", "source name of its script file (into a text variable)"),
    Sel("fileNumber", "number of its script file"),
    Sel("line", "source line"),
    Sel("messageOperand", "number of the last message it ended"),
    Unused("unused11"),
    Unused("unused12"),
    Sel("blockDepth", "open blocks"),
    Sel("callDepth", "open calls"),
    Sel("loopDepth", "open counted loops"),
    Sel("state", "its whole control state as a text"),
};

constexpr ArgumentSpec kMessageSetup[] = {
    Text("layer", "layer that receives the dialogue text"),
    Num("layerNumber", "appended to the layer path"),
    Num("mode", "1 shows messages, 0 collects and drops them"),
    Num("advanceKey1", "key number that continues a message (0: none)", 14),
    Num("advanceKey2", "second advance key", 14),
    Num("advanceKey3", "third advance key", 14),
    Num("advanceKey4", "fourth advance key", 14),
    Num("skipKey1", "key number that shows the text at once while held (0: none)", 14),
    Num("skipKey2", "second skip key", 14),
    Num("skipKey3", "third skip key", 14),
    Num("skipKey4", "fourth skip key", 14),
    Num("delay", "typing delay in milliseconds per two-byte character", 1),
    Num("lineFeed", "1: add a line feed now"),
    Num("newPage", "1: add a new page now"),
    Num("lineFeed2", "1: add a line feed now (second kind)"),
    Num("newPage2", "1: add a new page now (second kind)"),
    Num("clickWait", "1: add a click wait now"),
    Num("reset", "1: drop the message collected so far"),
    Num("endWithLineFeed", "1: a message ends with a line feed"),
    Num("endWithNewPage", "1: a message ends with a new page"),
    Num("endWithClickWait", "1: a message ends with a click wait"),
};

constexpr ArgumentSpec kMessageInfo[] = {
    Unused("unused0"),
    Unused("unused1"),
    Sel("mode", "message mode"),
    Sel("penX", "x of the next character"),
    Sel("penY", "y of the next character"),
    Sel("clickWaitPending", "1 while typing waits for a click"),
    Sel("endWithLineFeed", "end setting"),
    Sel("endWithNewPage", "end setting"),
    Sel("endWithClickWait", "end setting"),
    Out("target", "variable that receives the result"),
};

constexpr ArgumentSpec kTray[] = {
    Num("icon", "1 shows the tray icon, other values remove it"),
    Text("tip", "tool tip text"),
    Text("menu", "menu shown when the icon is clicked"),
};

constexpr ArgumentSpec kTextCommand[] = {
    Out("source", "the text (or number) element worked on"),
    Out("target", "where the result goes (default: source, for remove and extract)"),
    Sel("remove", "remove count characters from start"),
    Sel("extract", "keep count characters from start"),
    Num("start", "first character concerned, counted from 1"),
    Num("count", "number of characters concerned"),
    Sel("convert", "number to text or text to number"),
    Sel("upper", "ASCII letters to capitals"),
    Sel("lower", "ASCII letters to small letters"),
    Sel("fullWidth", "to full-width characters"),
    Sel("halfWidth", "to half-width characters"),
};

constexpr ArgumentSpec kVariableInfo[] = {
    Out("variable", "the variable (and element) asked about"),
    Out("target", "variable that receives the result"),
    Sel("type", "0 undeclared, 1 integer, 2 float, 3 text"),
    Sel("charWidth", "1 or 2: bytes of the first character of the text"),
    Sel("dimensions", "number of dimensions"),
    Sel("size1", "size of dimension 1"),
    Sel("size2", "size of dimension 2"),
    Sel("size3", "size of dimension 3"),
    Sel("size4", "size of dimension 4"),
    Sel("size5", "size of dimension 5"),
    Sel("size6", "size of dimension 6"),
    Sel("size7", "size of dimension 7"),
    Sel("size8", "size of dimension 8"),
    Sel("length", "number of characters of the text"),
};

constexpr ArgumentSpec kMessageAppend[] = {
    Raw("value", "a number or text added to the message"),
};

constexpr ArgumentSpec kWait[] = {
    Num("frames", "wait this many frames"),
    Num("ms", "wait this many milliseconds (when frames is not given)"),
};

constexpr ArgumentSpec kWindow[] = {
    Num("slot", "window 0 (main) to 3", 26),
    Text("title", "title; needed to open a window"),
    Num("x", "left edge on the screen"),
    Num("y", "top edge on the screen"),
    Num("stacking", "0 top, 1 always on top, 2 bottom, 3 behind the main window"),
    Num("width", "client width"),
    Num("height", "client height"),
    Num("foreground", "1 brings the window to the front"),
    Num("maximizeBox", "1 gives the window a maximise box"),
    Num("fullScreen", "full screen state (main window only)"),
    Num("minimize", "1 minimises, 0 restores"),
    Num("closeState", "what closing the window does, 0..3"),
    Text("layer", "layer that becomes the window's picture"),
    Text("menu", "menu that becomes the window's menu bar; empty removes it"),
    Text("shape", "layer whose non-black pixels give the main window its shape"),
    Text("dragLayer", "layer by which the window can be dragged"),
};

constexpr ArgumentSpec kWindowShow[] = {
    Num("slot", "sub-window 1 to 3 to hide", 26),
};

constexpr ArgumentSpec kWindowInfo[] = {
    Num("slot", "window 0 to 3", 26),
    Out("target", "variable that receives the result"),
    Sel("open", "1 when the window is open"),
    Sel("inUse", "in-use flag"),
    Sel("active", "1 when the window is active"),
    Sel("title", "title (into a text variable)"),
    Sel("x", "left edge on the screen"),
    Sel("y", "top edge on the screen"),
    Unused("unused8"),
    Sel("width", "client width"),
    Sel("height", "client height"),
    Sel("fullScreen", "1 in full screen"),
    Sel("minimized", "1 when minimised"),
};

constexpr ArgumentSpec kMessageText[] = {
    Text("text", "dialogue text added to the message"),
};

struct Row {
  std::string_view name;
  std::string_view handler;
  std::span<const ArgumentSpec> args;
  std::string_view summary;
};

constexpr std::span<const ArgumentSpec> kNone{};

// Indexed by command number. An empty handler marks an unbound slot.
constexpr Row kRows[kCommandSlots] = {
    {"layer", "LayerSet", kLayerSet, "create or change a layer"},
    {"layerDraw", "LayerDraw", kLayerDraw, "change a layer's pixels: effects, fills, text, scaling, combining layers"},
    {"layerDelete", "LayerDelete", kLayerName, "delete a layer (a group layer with everything in it)"},
    {"layerGet", "LayerGet", kLayerGet, "read a layer property into a variable"},
    {"clipboardSet", "ClipboardSetCommand", kClipboardSet, "put a text on the clipboard"},
    {"clipboardGet", "ClipboardGetCommand", kClipboardGet, "read the clipboard text"},
    {"dialog", "InputDialogCommand", kInputDialog, "show a message box or a one-line input dialog"},
    {"else", "BlockElseCommand", kBlockElse, "an elif or else branch (written by @elif and @else)"},
    {"quit", "EndCommand", kEnd, "end the program after this frame"},
    {"options", "OptionFlagsCommand", std::span<const ArgumentSpec>(kOptionFlags), "set option flags"},
    {"check", "EvaluateOnlyCommand", kCheck, "have values range-checked like command arguments"},
    {"shell", "ShellCommand", kShell, "copy or delete files, start programs, export layers, preload files"},
    {"fileFind", "FileFindCommand", kFileFind, "test files and folders"},
    {"flashOpen", "FlashOpenCommand", kFlashOpen, "open and play a Flash movie"},
    {"flashClose", "FlashCloseCommand", kNone, "close the Flash movie"},
    {"flashGet", "FlashQueryCommand", kFlashQuery, "read the Flash movie's state"},
    {"float", "DeclareFloatCommand", kDeclare, "declare a float variable at run time (written by @float)"},
    {"textStyle", "TextStyleCommand", kTextStyle, "set the font and text style"},
    {"textGet", "TextInfoCommand", kTextInfo, "read text style, fonts and character sizes"},
    {"frameRate", "FrameRateCommand", kFrameRate, "set the frame rate"},
    {"unbound20", "", kNone, "no command"},
    {"unbound21", "", kNone, "no command"},
    {"unbound22", "", kNone, "no command"},
    {"unbound23", "", kNone, "no command"},
    {"goto", "JumpCommand", kJump, "continue at a label"},
    {"call", "CallCommand", std::span<const ArgumentSpec>(kCall), "call a subroutine with parameters"},
    {"block", "BlockBeginCommand", kBlockBegin, "open an if or while block (written by @if and @while)"},
    {"blockExit", "BlockExitCommand", kNone, "go to the end of the innermost block (written before @elif and @else)"},
    {"blockBreak", "BlockBreakCommand", kLevels, "leave enclosing blocks (written by @break in a while loop)"},
    {"blockRepeat", "BlockRepeatCommand", kLevels, "test a while loop again (written by @next and at its end)"},
    {"blockEnd", "BlockEndCommand", kNone, "close the innermost block (written by @end)"},
    {"input", "InputSwitchCommand", kInputSwitch, "switch keyboard, joystick and mouse input on or off"},
    {"int", "DeclareIntegerCommand", kDeclare, "declare an integer variable at run time (written by @int)"},
    {"nop", "NoOperationCommand", kNone, "do nothing"},
    {"labelExists", "LabelExistsCommand", kLabelExists, "test whether a label exists"},
    {"assign", "AssignCommand", kAssign, "assign to a variable (written by @name = value)"},
    {"load", "LoadCommand", kSaveLoad, "load a variable or a layer from a save file"},
    {"loop", "CountLoopBeginCommand", kCountLoopBegin, "open a counted loop (written by @loop)"},
    {"loopBreak", "CountLoopBreakCommand", kLevels, "leave enclosing counted loops (written by @break)"},
    {"loopNext", "CountLoopNextCommand", kLevels, "go to the end test of a counted loop (written by @next)"},
    {"loopEnd", "CountLoopEndCommand", kNone, "count and repeat or close a counted loop (written by @end)"},
    {"unbound41", "", kNone, "no command"},
    {"math", "MathCommand", kMath, "mathematical functions, random numbers, CRC-32"},
    {"menu", "MenuItemSet", kMenuItemSet, "create or change a menu item"},
    {"menuPopup", "MenuPopup", kMenuPopup, "show a popup menu at the cursor"},
    {"menuDelete", "MenuItemDelete", kMenuItemDelete, "delete a menu item"},
    {"menuGet", "MenuItemGet", kMenuItemGet, "read a menu item property"},
    {"evaluate", "EvaluateOnlyCommand", kEvaluate, "evaluate arguments and do nothing else"},
    {"cursor", "CursorCommand", kCursor, "mouse cursor mode, position and shape"},
    {"movie", "MovieCommand", kMovie, "play a movie over the main window"},
    {"movieStop", "MovieStopCommand", kNone, "stop and close the movie"},
    {"movieGet", "MovieInfoCommand", kMovieInfo, "read the movie's state"},
    {"dllCall", "DllCallCommand", kDllCall, "call a function of a game library"},
    {"registry", "RegistryCommand", kRegistry, "read a registry value"},
    {"return", "ReturnCommand", std::span<const ArgumentSpec>(kReturn), "return from a subroutine with values"},
    {"nop2", "NoOperationCommand", kNone, "do nothing"},
    {"messageEnd", "MessageEndCommand", kNone, "end the message and show it (written after each dialogue line)"},
    {"note", "SkipArgumentsCommand", kNote, "carry a note that is never evaluated"},
    {"note2", "SkipArgumentsCommand", kNote, "carry a note that is never evaluated"},
    {"note3", "SkipArgumentsCommand", kNote, "carry a note that is never evaluated"},
    {"unbound60", "", kNone, "no command"},
    {"save", "SaveCommand", kSaveLoad, "save a variable or a layer into a block; with file, write the save file"},
    {"saveClear", "SaveCacheClearCommand", kNone, "drop the blocks not yet written"},
    {"evaluate2", "EvaluateOnlyCommand", kEvaluate, "evaluate arguments and do nothing else"},
    {"nop3", "NoOperationCommand", kNone, "do nothing"},
    {"sound", "SoundPlayCommand", kSoundPlay, "create, load, play, stop and adjust a sound object"},
    {"soundDelete", "SoundDeleteCommand", kSoundName, "unload and delete a sound object"},
    {"soundGet", "SoundInfoCommand", kSoundInfo, "read a sound object property"},
    {"text", "DeclareTextCommand", kDeclare, "declare a text variable at run time (written by @text)"},
    {"engine", "EngineSwitchCommand", kEngineSwitch, "engine switches"},
    {"context", "ContextCommand", kContext, "start, change or restore a script context"},
    {"contextDelete", "ContextDeleteCommand", kContextName, "delete a script context"},
    {"contextGet", "ContextInfoCommand", kContextInfo, "read a script context's state"},
    {"message", "MessageSetupCommand", kMessageSetup, "message layer, keys, typing speed and message codes"},
    {"messageGet", "MessageInfoCommand", kMessageInfo, "read the message display's state"},
    {"tray", "TrayMenuCommand", kTray, "tray icon and its menu"},
    {"evaluate3", "EvaluateOnlyCommand", kEvaluate, "evaluate arguments and do nothing else"},
    {"textEdit", "TextCommand", kTextCommand, "convert, cut and change texts"},
    {"varInfo", "VariableInfoCommand", kVariableInfo, "read a variable's type, dimensions and text length"},
    {"messageAppend", "MessageAppendCommand", kMessageAppend, "add a value to the message (written for {value} in dialogue)"},
    {"wait", "WaitCommand", kWait, "wait frames or milliseconds"},
    {"window", "WindowCommand", kWindow, "open and change windows"},
    {"windowHide", "WindowShowCommand", kWindowShow, "hide a sub-window"},
    {"windowGet", "WindowInfoCommand", kWindowInfo, "read a window's state"},
    {"messageText", "MessageTextCommand", kMessageText, "add dialogue text to the message (written for dialogue lines)"},
    {"unbound85", "", kNone, "no command"},
    {"unbound86", "", kNone, "no command"},
    {"unbound87", "", kNone, "no command"},
    {"unbound88", "", kNone, "no command"},
    {"unbound89", "", kNone, "no command"},
    {"unbound90", "", kNone, "no command"},
};

constexpr auto kTable = [] {
  std::array<CommandSpec, kCommandSlots> t{};
  for (int i = 0; i < kCommandSlots; ++i) {
    t[i].index = static_cast<uint8_t>(i);
    t[i].name = kRows[i].name;
    t[i].handler = kRows[i].handler;
    t[i].bound = !kRows[i].handler.empty();
    t[i].args = kRows[i].args;
    t[i].summary = kRows[i].summary;
  }
  return t;
}();

}  // namespace

std::span<const CommandSpec> CommandTable() { return kTable; }

const CommandSpec* FindCommand(std::string_view name) {
  for (const auto& c : kTable)
    if (c.name == name) return &c;
  return nullptr;
}

int FindArgument(const CommandSpec& command, std::string_view name) {
  for (size_t i = 0; i < command.args.size(); ++i)
    if (command.args[i].role != ArgRole::kUnused && command.args[i].name == name) return static_cast<int>(i);
  return -1;
}

std::string_view CheckKindText(uint8_t kind) {
  static constexpr std::string_view kTexts[kCheckKinds] = {
      "any",        "0 or more",  "1 or more",  "0..1",       "0..2",       "0..3",
      "1..3",       "0..4",       "1..8",       "0..15",      "0..18",      "0..256",
      "1..256",     "0..512",     "0..1024",    "1..1024",    "128..1024",  "0..2048",
      "1..2048",    "16..2048",   "128..2048",  "1..8192",    "a colour 0xRRGGBB or -1",
      "a colour 0xRRGGBB", "0 .. main window width - 1", "0 .. main window height - 1", "0..3",
  };
  return kind < kCheckKinds ? kTexts[kind] : "any";
}

}  // namespace vv::script
