#pragma once
// For an empty command or "/?"; the ten "\w9" keep it up 100 more ticks.

#include <string_view>

namespace vek {

inline constexpr std::u16string_view kUsageText =
    u"【使用方法】\\n"
    u"・送信先のhwnd値を設定したVEK.iniを、同パスに設定して下さい\\n"
    u"・以下の書式でVEK.exeを呼び出して下さい。\\n"
    u"　①スクリプト送信：VEK.EXE SEND#ref(0)\\n"
    u"　②ファイル送信　：VEK.EXE FILE#(ファイル名)/(開始行)-(終了行)[0オリジン]\\n"
    u"　③イベント送信　：VEK.EXE (イベント名)#ref(0)#ref(1)#‥‥‥#ref(6)#ref(7)#\\n"
    u"\\w9\\w9\\w9\\w9\\w9\\w9\\w9\\w9\\w9\\w9";

}  // namespace vek
