#pragma once
// The settings the library reads once at start-up: the folders, the database login from the
// registry, tarnwick.ini in the module folder and one dictionary row of the database; and the small
// readers of settings text (lines of "key=value", and blocks between marker lines).
//
// Everything here is filled on the start-up thread before requests are served and read afterwards
// without locks.

#include <cstddef>
#include <cstdint>
#include <string>

// Paths use '/'; every folder ends with '/'.
struct ExtensionSettingsRecord {
  std::string moduleFolder;  // the folder of Tarnwick.so (or TARNWICK_MODULE_DIR)
  std::string parentFolder;  // the module folder's parent
  std::string logFolder;     // TARNWICK_LOG_DIR, else parentFolder + "Tarnwick_LOG/"
  std::string dataSource;    // registry "Item1"
  std::string password;      // registry "Item2"
  std::string user;          // registry "Item5"
  char site[36] = "";        // dictionary row "45", lower-cased (up to 35 characters)
  int32_t defaultInternalRuleId = 0;  // "内单号生成ID="
  char trustedAddress[32] = "";       // "IP=", 5 to 15 characters
  char partnerKey[32] = "";           // "KEY=", 1 to 30 characters
  char testPassword[32] = "";         // "TEST_PASS=", 1 to 30 characters
  int32_t urlEncode = 0;              // "URL_ENCODE=": 1 = request bodies are URL-decoded
  char payWsjKey[64] = "";            // "PAYWSJ_KEY=", 1 to 63 characters: the payment terminals' key
  int32_t payWsjAccount = 0;          // "PAYWSJ_ACCOUNT=": the account their payments are booked to
  std::string ownAddress;             // the server's own IPv4 address as dotted text
};

extern ExtensionSettingsRecord ExtensionSettings;

// Watermark of the ID-card pictures.
struct WatermarkSettingsRecord {
  char text[36] = "-身份证上传-";
  float transparency = 0.5f;
  uint8_t blue = 99, green = 99, red = 255, reserved = 0;
  char font[64] = "黑体";
  int32_t fontSize = 26;
  int32_t fontWeight = 600;
  int32_t quality = 90;
  int32_t width = 305;   // the two placement values, fixed
  int32_t height = 195;
};

extern WatermarkSettingsRecord WatermarkSettings;

// ReadWatermarkSettings: the watermark keys of tarnwick.ini; a value outside its accepted length or
// range keeps the default, silently.
void ReadWatermarkSettings(const char* text, WatermarkSettingsRecord& settings);

// CleanPictureFolder: deletes every regular file of the folder; sub-folders, links and anything else
// are left alone, and nothing below the folder is entered. Returns the number of files deleted.
int CleanPictureFolder(const std::string& folder);

// The folder of the ID-card pictures under the module folder.
inline constexpr char kPictureFolderName[] = "IDCard_PicEx";

// The byte limit of tarnwick.ini and the carrier settings files.
inline constexpr size_t kSettingsFileMaxBytes = 100000;

// GetSettingText: out (outSize bytes) becomes the value of the first occurrence of `key` that starts a
// line (at the start of the text or right after CR or LF), up to the next CR, LF or the end; with
// bTrim trimmed of bytes 1..32 at both ends first. The value is copied only when its length lies in
// minLen..maxLen (and fits out); otherwise, and when the key is absent, out is empty.
void GetSettingText(const char* key, const char* text, char* out, size_t outSize, size_t minLen, size_t maxLen,
                    bool bTrim);

// GetSettingInt: atoi of the text right after the first line-starting occurrence of key, or def.
int GetSettingInt(const char* key, const char* text, int def);

// TrimBoth: removes blanks, tabs, CR, LF and full-width blanks (A1 A1) from both ends, in place.
void TrimBoth(char* text);

// StripQuotesAndTrim: tw::RemoveChar of ' and of ", then TrimBoth.
void StripQuotesAndTrim(char* text);

// AppendXmlElement: writes "<name>text</name>" (or "<name/>" for an empty text) and CR LF at out
// (outEnd - out bytes of room). Returns the end of what was written (out itself when it did not fit).
char* AppendXmlElement(char* out, const char* outEnd, const char* text, const char* name);

// ReadWholeFile: reads the file into buffer (max + 1 bytes, NUL-terminated; its first byte is set to
// NUL first). Returns the length read, -1 when the file cannot be opened, -2 when it is longer than
// max bytes.
[[nodiscard]] long ReadWholeFile(const char* path, char* buffer, size_t max);

// ReadRegistryLogin: reads "Item1", "Item2" and "Item5" of HKEY_LOCAL_MACHINE "SOFTWARE\Halvern" into
// ExtensionSettings. Returns true when all three values were read (a value that does not unscramble
// leaves its field empty).
[[nodiscard]] bool ReadRegistryLogin();

// GetLocalIp: the first IPv4 address of the host's name as dotted text, empty when there is none.
std::string GetLocalIp();

// The registry key and its values.
inline constexpr char kLoginRegistryKey[] = "SOFTWARE\\Halvern";
