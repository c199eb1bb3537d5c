#pragma once
// The capability table as people read it, on screen and on paper alike: the
// columns, what they mean, and each row's texts with decimals that follow the
// tolerances (the CSV carries the exact figures instead).
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "report/capability.h"

namespace ziv::report {

struct CapabilityColumn {
    std::string_view Title, Tip;
    bool Text = false;  // left-aligned words rather than a figure
    int Width = 40;     // on paper, in points
};

inline constexpr std::array<CapabilityColumn, 27> kCapabilityColumns{{
    {"番号", "", false, 24},
    {"号機", "全号機(参考): 号機を混ぜた参考の行 (全体の変動だけ)", true, 62},
    {"寸法", "", false, 40},
    {"上限", "", false, 34},
    {"下限", "", false, 34},
    {"規格", "能力を見る側: 両側、片側、上側のみ (自然限界: 幾何公差の下限 0 は越えられない境界)", true, 68},
    {"期間", "", true, 56},
    {"n", "", false, 26},
    {"平均", "", false, 46},
    {"σ群内", "工程内の変動: 移動範囲の平均 / 1.128", false, 48},
    {"σ全体", "全体の標準偏差 (n − 1)", false, 48},
    {"Cp", "σ群内による工程能力指数", false, 30},
    {"Cpk", "σ群内による工程能力指数 (かたより考慮)", false, 30},
    {"Cpk下限", "Cpk の 95% 下側信頼限界 (Bissell)", false, 50},
    {"Pp", "σ全体による工程性能指数", false, 30},
    {"Ppk", "σ全体による工程性能指数 (かたより考慮)", false, 30},
    {"Cpk分位", "パーセンタイル法 (ISO 22514-2): 最もよく当てはまる分布の 0.135%・50%・99.865% 点による Cpk (8 点以上)", false, 42},
    {"分布", "当てはめた分布と Anderson-Darling 統計量 A²: 正規・対数正規・ワイブル、自然限界では折り返し正規から A² の最も小さいもの。どれも 5% で棄却されれば「適合なし」", true, 80},
    {"分位下限", "Cpk分位の 95% 下側信頼限界: 当てはまる分布すべてのパラメトリック・ブートストラップ (200 回、乱数の種は固定) の 5% 点の最小 (緑になりうる行だけ)", false, 42},
    {"ppm", "規格外になる見込み (100 万個あたり): 正規なら平均と σ全体から、正規でなければ当てはめた分布から", false, 40},
    {"ルール", "I 管理図のルール違反の点数 (1: 管理限界外, 2: 片側に9点, 3: 6点連続増減, 4: 14点交互)", false, 36},
    {"不合格", "規格外の値: ステーションが「不」と判定した値と、判定のない値のうち規格を外れた値 (※ その数)", false, 40},
    {"判定なし", "ステーションが判定しなかった値 (公差が片側だけなど)", false, 40},
    {"OK", "", false, 22},
    {"NG", "", false, 22},
    {"正規性p", "Anderson-Darling 検定の p 値 (8 点以上)", false, 40},
    {"備考", "", true, 50},
}};

inline constexpr std::string_view kCapabilityLegend =
    "Cp/Cpk は工程内の変動 (σ群内 = 移動範囲の平均 / 1.128、号機ごとに日付順)、Pp/Ppk は全体の標準偏差による。"
    "Cpk下限 は Cpk の 95% 下側信頼限界 (Bissell)。指数は小数 2 桁に切り捨てて表示し、表示の値で判断する。"
    "正規性p が 0.05 未満の行は Cpk分位 (パーセンタイル法、当てはまりの最もよい分布) で判断する。"
    "緑: 当てはまる分布があり、判断に使う Cpk の下限 (正規なら Cpk下限) と分位下限がともに 1.33 以上、ルール違反も規格外もない。"
    "黄: Cpk は 1.33 以上だが、下限が届かない、当てはまる分布がない、正規性を確かめられない (値が少ない)、"
    "または読み取りの刻みが粗い。"
    "赤: 要確認 (規格外・NG・ルール違反・Cpk 1.33 未満)。"
    "不合格の ※ は判定のない値のうち規格を外れた数。"
    "備考「n<25」は値が少なく参考程度。「丸め」は読み取りの粗さだけで正規性p が下がったもの (正規として判断、自然限界の番号にはつけない)。"
    "「刻み粗い」は読み取りの刻みが公差の 1/10 を超えるか σ全体が刻みの 2 倍未満で、指数は刻みの丸めしか語らない。"
    "規格が期間中に変わった番号は規格ごとの行 (備考「規格変更」)。全号機(参考) は号機を混ぜた全体の値だけ。";

// "対数正規 A²0.31", or "適合なし (最良 ワイブル A²1.20)" where no candidate fits.
std::string FitText(const CapabilityRow& row);
// One text per column of kCapabilityColumns.
std::vector<std::string> CapabilityRowTexts(const CapabilityRow& row);

}  // namespace ziv::report
