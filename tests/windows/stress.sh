#!/usr/bin/env bash
# Writes the product lists on which the Windows build must make the same
# pages (and end with the same exit status) as the Linux build:
#   sjis.csv      Shift_JIS with the code page 932 specials (～ ① ㈱ 髙, NEC
#                 row 13, NEC-selected and IBM extension kanji), product IDs
#                 whose second byte is a backslash (表 ソ 能), and one line
#                 per lead byte with every trail byte after it
#   utf8.csv      UTF-8: every character code page 932 has, the look-alikes
#                 it lacks (〜 ‖ − ¢ £ ¬ —), and characters beyond Shift_JIS
#   duplicate.csv the same product ID twice: the run stops at the second
#   failing.csv   a product ID Windows keeps for a device: the run stops there
# Usage: stress.sh FOLDER
set -euo pipefail
# Lengths and slices below count characters, not bytes.
export LC_ALL=C.UTF-8
out=$1
mkdir -p "$out"

header='商品ID,商品名,カテゴリ,キーワード,メーカー,型番,JANコード,定価,販売価格,在庫,おすすめポイント,商品仕様,商品説明,送料区分,画像ID,画像枚数'
# One product line: ID, name, description (text as given, in UTF-8).
product() {
    printf '%s,%s,雑貨,"%s,ギフト",工房ひだまり,M-%s,4580000000011,"1,200",980,5,%s,仕様：%s,%s,1,%s,%s\r\n' \
        "$1" "$2" "$2" "${#1}" "$2" "$2" "$3" "$((100100 + ${#3}))" "$(( ${#1} % 4 ))"
}

# Every double-byte code of code page 932, one lead byte per line: raw
# bytes, as a Shift_JIS file holds them (unassigned codes too).
every_code() {
    local lead trail bytes code
    for lead in $(seq 0x81 0x9F) $(seq 0xE0 0xFC); do
        bytes=
        for trail in $(seq 0x40 0x7E) $(seq 0x80 0xFC); do
            printf -v code '\\x%02X\\x%02X' "$lead" "$trail"
            bytes+=$code
        done
        printf "L%02X,lead %02X,雑貨,code,工房,M-1,4580000000011,1200,980,5,x,x,$bytes,1,100101,1\r\n" \
            "$lead" "$lead"
    done
}

{
    printf '%s\r\n' "$header"
    product 'S-01' '波ダッシュ～と全角マイナス－、￢∥＼￠￡' '丸数字①⑳とローマ数字Ⅰ～Ⅹ、㈱㈲㌔㍉№℡≒≡∫∮∑√⊥∠∟⊿∵∩∪'
    product 'S-02' '髙橋と﨑・德・栁' 'NEC選定IBM拡張: 纊褜鍈銈蓜俉炻昱棈鋹曻彅丨仡仼伀伃伹佖侒侊侚侔 IBM拡張: ⅰⅱⅲ￤＇＂纊褜鍈銈'
    product '表ソ能' '表示・ソフト・能力の2バイト目は \ です' 'ダメ文字: 表 ソ 能 予 十 申 貼 暴 構 噂'
    product '髙①㈱' '日本語の商品ID' 'ファイル名も日本語'
    product 'S-03' '半角ｶﾀｶﾅｱｲｳｴｵ' '<b>タグ</b>&amp;"引用符"'
} | iconv -f UTF-8 -t CP932 >"$out/sjis.csv"
every_code >>"$out/sjis.csv"

# Every character that code page 932 has, decoded the Microsoft way, in
# lines of 200.
codes=
for lead in $(seq 0x81 0x9F) $(seq 0xE0 0xFC); do
    for trail in $(seq 0x40 0x7E) $(seq 0x80 0xFC); do
        printf -v code '\\x%02X\\x%02X\\n' "$lead" "$trail"
        codes+=$code
    done
done
# A code on each line. iconv skips the first byte of an unassigned code and
# reads the second on its own (ASCII or half-width katakana, never what an
# assigned double-byte code gives): those lines are left out.
all_characters=
while IFS= read -r c; do
    [ "${#c}" -eq 1 ] || continue
    printf -v point '%d' "'$c"
    if ((point >= 0x80 && (point < 0xFF61 || point > 0xFF9F))); then
        all_characters+=$c
    fi
done < <(printf '%b' "$codes" | { iconv -c -f CP932 -t UTF-8 || true; })
all_characters+=ｱｲｳｴｵﾟﾞ
{
    printf '\xEF\xBB\xBF%s\r\n' "$header"
    product 'U-01' '波ダッシュ〜と全角チルダ～' '‖∥ −－ ¢￠ £￡ ¬￢ —―'
    product 'U-02' '𠮷野家と😀' '한국어 é ü ß € ™ 𝄞 ①'
    product '髙﨑①' '日本語の商品ID' '㈱'
    i=0
    while [ "$i" -lt "${#all_characters}" ]; do
        product "C-$((i / 200))" "code page 932" "${all_characters:i:200}"
        i=$((i + 200))
    done
} >"$out/utf8.csv"

{
    printf '%s\r\n' "$header"
    product 'D-01' '一つ目' 'はじめの商品'
    product 'D-02' '二つ目' 'つぎの商品'
    product 'D-01' '同じ商品ID' 'ここで止まる'
    product 'D-03' '書かれない' '止まったあと'
} | iconv -f UTF-8 -t CP932 >"$out/duplicate.csv"

{
    printf '%s\r\n' "$header"
    product 'F-01' '一つ目' 'はじめの商品'
    product 'com1.txt' 'デバイス名' 'ここで止まる'
    product 'F-02' '書かれない' '止まったあと'
} | iconv -f UTF-8 -t CP932 >"$out/failing.csv"
