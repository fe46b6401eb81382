#!/bin/sh
# Lays out a demo host folder: the stand-in host, Kennel and its archiver library, and a pet
# with a few snacks, toys, mails, treasures and a friends book.
#
#   demo/make-demo-host.sh <target-folder> <bin-folder>
#
# The target folder is created when missing. Existing sample files are overwritten; other files
# in it (Kennel.ini, pet folders of an earlier demo) are left alone.
set -eu

if [ $# -ne 2 ]; then
    echo "usage: $0 <target-folder> <bin-folder>" >&2
    exit 2
fi
target=$1
bin=$2

if [ ! -x "$bin/Mewmail20.exe" ] || [ ! -x "$bin/kennel" ]; then
    echo "$0: $bin does not hold kennel and Mewmail20.exe; build first" >&2
    exit 1
fi

mkdir -p "$target"
cp -f "$bin/Mewmail20.exe" "$bin/kennel" "$target/"
if [ -f "$bin/libunlha32.so" ]; then
    cp -f "$bin/libunlha32.so" "$target/"
fi

cd "$target"
for place in おもちゃ おやつ 受信フォルダ 送信フォルダ 添付書類ﾌｫﾙﾀﾞ 宝物; do
    mkdir -p "$place"
done

# Host files are written as the stand-in host writes them: UTF-8 text, one item per file.
item() {  # item <file> <text>
    printf '%s\n' "$2" > "$1"
}

item おやつ/いちごケーキ.pac "いちごケーキ　甘さ★★★"
item おやつ/おせんべい.pac "おせんべい　しょうゆ味"
item おやつ/ドーナツ.pac "チョコドーナツ"

item おもちゃ/ボール.pty "ころころボール"
item おもちゃ/つみき.pty "木のつみき（12個）"

item 受信フォルダ/mail_0001.mwm "差出人: となりのクロ
日付: 2001/04/01 10:00

こんにちは！ 今度いっしょにあそぼうね。"
item 受信フォルダ/mail_0002.mwm "差出人: ミューメール配達係
日付: 2001/04/02 09:30

ようこそミューメールへ。"
item 送信フォルダ/sent_0001.mwm "差出人: ミケ

クロちゃん、おてがみありがとう！"

item 宝物/貝がら.pac "きれいな貝がら"
item 宝物/どんぐり.pac "つやつやのどんぐり"

# Attachments: a few bytes that are not text.
printf '\211PNG\r\n\032\n' > 添付書類ﾌｫﾙﾀﾞ/写真.png

printf '%s\n' "となりのクロ" "しろくまのユキ" "うさぎのミミ" > おともだち帳

printf '%s\n' "[Mewmail 2.0]" "名前=ミケ" "誕生=2001-04-01T09:00:00" "満腹度=60" \
    "受信数=2" "おでかけ=" > Mewmail設定.mwc
cp -f Mewmail設定.mwc Mewmail設定.bak

echo "demo host folder ready: $target"
