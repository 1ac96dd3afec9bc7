#!/usr/bin/env python3
"""Writes a realistic product CSV (Shift_JIS) with a fixed seed, so every run
of the benchmark reads the same bytes.

usage: gen_csv.py LINES OUT.csv [--description-bytes N]
"""
import argparse
import random

NOUNS = ['長財布', '二つ折り財布', 'コインケース', '名刺入れ', 'キーケース', '腕時計', 'ネックレス',
         'ピアス', 'ブレスレット', 'トートバッグ', 'リュック', 'マグカップ', 'フライパン', 'まな板',
         'タオル', 'まくら', 'ひざ掛け', 'スマホケース', '充電器', 'はちみつ', 'ルイボスティー']
ADJECTIVES = ['本革', '栃木レザー', '撥水', '日本製', '国産', 'オーガニック', '軽量', '大容量',
              '限定', '職人手作り', 'ステンレス', 'ひのき', '天然石', 'シルバー925']
COLOURS = ['ブラック', 'ブラウン', 'キャメル', 'ネイビー', 'グレー', 'ホワイト', 'ピンク', 'レッド']
MAKERS = ['工房ひだまり', 'サーモ工業', '南部鋳造所', '陶房あおい', '今治織物', 'アトリエ灯',
          '時計工房クロノ', 'かばん工房いと', 'ねむり工房']
SENTENCES = ['毎日手に取るものだからこそ、丈夫さとしなやかさにこだわりました。',
             '使うほどに手になじみ、色つやが増していきます。',
             'ギフト包装を無料で承ります。',
             '職人がひとつずつ丁寧に仕上げています。',
             '軽くて持ち運びやすく、旅行にも便利です。',
             'お手入れは乾いた布で拭くだけ。',
             '<b>今だけ</b>の特別価格でご提供しています。',
             '<span style=\'color:#cc0000\'>送料無料</span>でお届けします。',
             'サイズ違いもご用意しています。<br />']


def price(rng):
    value = rng.choice([980, 1280, 1980, 2480, 2980, 3980, 4980, 7480, 9800, 12800, 19800, 29800])
    text = f'{value:,}'
    return f'"{text}"' if ',' in text else text


def description(rng, size):
    parts = []
    total = 0
    while total < size:
        s = rng.choice(SENTENCES)
        parts.append(s)
        total += len(s.encode('cp932'))
    return ''.join(parts)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('lines', type=int)
    ap.add_argument('out')
    ap.add_argument('--description-bytes', type=int, default=300)
    args = ap.parse_args()
    rng = random.Random(20261208)
    header = ('商品ID,商品名,カテゴリ,キーワード,メーカー,型番,JANコード,定価,販売価格,在庫,'
              'おすすめポイント,商品仕様,商品説明,送料区分,画像ID,画像枚数')
    with open(args.out, 'wb') as out:
        out.write((header + '\r\n').encode('cp932'))
        for i in range(args.lines):
            noun = rng.choice(NOUNS)
            name = f'{rng.choice(ADJECTIVES)} {noun}（{rng.choice(COLOURS)}）'
            fields = [
                f'A{i:07d}', name, noun, f'"{noun},{rng.choice(ADJECTIVES)},ギフト"',
                rng.choice(MAKERS), f'MD-{rng.randrange(1000, 9999)}',
                f'4580{rng.randrange(10**8, 10**9)}', price(rng), price(rng),
                str(rng.randrange(0, 200)), description(rng, 120),
                f'サイズ：横{rng.randrange(5, 40)}cm×縦{rng.randrange(5, 40)}cm<br />素材：{rng.choice(ADJECTIVES)}',
                description(rng, args.description_bytes), str(rng.randrange(1, 4)),
                str(100000 + i), str(rng.randrange(1, 6)),
            ]
            out.write((','.join(fields) + '\r\n').encode('cp932'))


if __name__ == '__main__':
    main()
