#pragma once
// The command server's own texts, in UTF-8. Protocol replies go on the wire in code page 1254
// (see Cp1254.h); the listener's log lines are shown as they are.
namespace vantrel::texts {

inline constexpr char kGreeting[] = "Bağlantı IP niz: ";
inline constexpr char kServerIP[] = "#Server_IP:";
inline constexpr char kListDone[] = "#DONE!!!";
inline constexpr char kDateSeparator[] = "#DateSeparator";
inline constexpr char kGoodbye[] = "Güle güle!";
inline constexpr char kUnknownCommand[] = "Komut tanınmadı tekrar deneyin!";

inline constexpr char kCreateError[] = "#Create_db error >";
inline constexpr char kCreateOkay[] = "#Create_db Okey >";
inline constexpr char kFileExists[] = "< file exist...";
inline constexpr char kAliasExists[] = "< Alias exist...";
inline constexpr char kCreated[] = " db Created...";
inline constexpr char kCannotCreate[] = " Can not create db...";
inline constexpr char kAliasNotWritten[] = "< db Created, alias not written yet (it is kept and written later)... ";
inline constexpr char kAliasRefused[] = "< db Created, alias not written... ";
inline constexpr char kAliasNotKept[] = "< db Created, alias not written (the command server is stopping)...";
inline constexpr char kCreatedWithoutAlias[] = " db Created without its alias >";
inline constexpr char kAliasUnusable[] = "< alias cannot be written... ";
inline constexpr char kBadFileName[] = "< invalid file name...";
inline constexpr char kBadAlias[] = "< invalid alias...";
inline constexpr char kBadPageSize[] = "< invalid page size...";

inline constexpr char kLogBound[] = "Sunucu bağlandı ";
inline constexpr char kLogStarted[] = "Sunucu başlatıldı.";
inline constexpr char kLogStartFailed[] = "Sunucu başlatılamadı!";
inline constexpr char kLogStopped[] = "Sunucu durduruldu";
inline constexpr char kLogNotStopped[] = "Sunucu durdurulamadı";
inline constexpr char kLogAliasPending[] = "Takma ad dosyaya yazılamadı, bekletiliyor: ";
inline constexpr char kLogAliasFileHeld[] = "Takma ad dosyası başka bir programda açık, bekleniyor: ";
inline constexpr char kLogAliasLost[] = "Takma ad dosyaya yazılamadan kapanılıyor: ";
inline constexpr char kLogAliasWritten[] = "Bekleyen takma adlar dosyaya yazıldı: ";
inline constexpr char kLogAliasDropped[] = "Bekleyen takma ad yazılmadı, bu ad dosyada artık var: ";
inline constexpr char kLogNotKept[] = "Takma ad dosyasının şu özelliği korunamadı: ";
inline constexpr char kNoAddress[] = "En az bir IP adresi bağlı olması gerekli!";

}  // namespace vantrel::texts
