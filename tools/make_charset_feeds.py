#!/usr/bin/env python3
"""Writes tests/data/rss/charsets/: one small RSS document per charset, its title and link in
that charset's script, encoded by the system's iconv. Run from the repository root; the test
(tests/rss/FeedCharsets_test.cpp) holds the letters each must decode to."""
import subprocess
from pathlib import Path

# file name, name in the XML declaration (None: no declaration), iconv name, title, link path
FEEDS = [
    ("iso-8859-1", "ISO-8859-1", "ISO-8859-1", "Café à la crème", "crème"),
    ("iso-8859-2", "iso-8859-2", "ISO-8859-2", "Zażółć gęślą jaźń", "jaźń"),
    ("iso-8859-3", "ISO_8859-3:1988", "ISO-8859-3", "Ħal Għargħur u ċ ġ ż", "Għargħur"),
    ("iso-8859-4", "latin4", "ISO-8859-4", "Ķēniņš ŗ ū ų ģ", "Ķēniņš"),
    ("iso-8859-5", "ISO_8859-5:1988", "ISO-8859-5", "Привет, мир", "мир"),
    ("iso-8859-6", "ISO-8859-6", "ISO-8859-6", "مرحبا بالعالم", "العالم"),
    ("iso-8859-7", "ISO-8859-7", "ISO-8859-7", "Καλημέρα κόσμε", "κόσμε"),
    ("iso-8859-8", "ISO-8859-8", "ISO-8859-8", "שלום עולם", "עולם"),
    ("iso-8859-9", "latin5", "ISO-8859-9", "Günaydın İstanbul şğ", "İstanbul"),
    ("iso-8859-10", "ISO-8859-10", "ISO-8859-10", "Sámi ŋ ŧ đ Þórður ĸ", "Þórður"),
    ("iso-8859-11", "ISO-8859-11", "ISO-8859-11", "สวัสดีชาวโลก", "สวัสดี"),
    ("iso-8859-13", "ISO-8859-13", "ISO-8859-13", "Labas rytas ąčęėįšųūž", "ąčęėįšųūž"),
    ("iso-8859-14", "ISO-8859-14", "ISO-8859-14", "Ŵyl Ddewi ŷ ẃ ṫ ḃ", "Ŵyl"),
    ("iso-8859-15", "ISO-8859-15", "ISO-8859-15", "Œuvre à 5 € ŠŽ", "Œuvre"),
    ("iso-8859-16", "ISO-8859-16", "ISO-8859-16", "Știri din România ț ș", "Știri"),
    ("windows-1250", "windows-1250", "CP1250", "Příliš žluťoučký kůň", "kůň"),
    ("windows-1251", "windows-1251", "CP1251", "Добро пожаловать", "пожаловать"),
    ("windows-1252", "windows-1252", "CP1252", "“Smart” quotes — café", "café"),
    ("windows-1253", "cp1253", "CP1253", "Ελληνικά νέα", "νέα"),
    ("windows-1254", "windows-1254", "CP1254", "Türkçe haberler ğış", "ğış"),
    ("windows-1255", "windows-1255", "CP1255", "חדשות היום", "היום"),
    ("windows-1256", "windows-1256", "CP1256", "أخبار اليوم", "اليوم"),
    ("windows-1257", "windows-1257", "CP1257", "Ziņas šodien ūž", "Ziņas"),
    ("windows-1258", "windows-1258", "CP1258", "Đường phố Sài Gòn ơ ư ă", "Đường"),
    ("koi8-r", "KOI8-R", "KOI8-R", "Новости дня", "Новости"),
    ("koi8-u", "koi8-u", "KOI8-U", "Новини України ґєії", "України"),
    ("shift_jis", "Shift_JIS", "CP932", "日本語のニュース", "ニュース"),
    ("x-sjis", "x-sjis", "CP932", "速報：東京ｶﾀｶﾅ", "東京"),
    ("euc-jp", "EUC-JP", "EUC-JP", "今日の天気は晴れ", "天気"),
    ("iso-2022-jp", "ISO-2022-JP", "ISO-2022-JP", "東京ニュース速報", "速報"),
    ("euc-kr", "EUC-KR", "EUC-KR", "한국어 뉴스", "뉴스"),
    ("ks_c_5601-1987", "ks_c_5601-1987", "CP949", "오늘의 뉴스 똠방각하", "똠방각하"),
    ("gb2312", "GB2312", "GB2312", "中文新闻", "新闻"),
    ("gbk", "GBK", "GBK", "中文新聞 镕", "新聞"),
    ("gb18030", "GB18030", "GB18030", "中文 𠀀 ᠮᠣᠩᠭᠣᠯ €", "ᠮᠣᠩᠭᠣᠯ"),
    ("big5", "Big5", "BIG5", "中文新聞", "新聞"),
    ("utf-16le-bom", "UTF-16", "UTF-16LE", "Ελληνικά 日本語 😀", "日本語"),
    ("utf-16be", "utf-16", "UTF-16BE", "Ελληνικά 日本語 😀", "日本語"),
    ("euc-kr-undeclared", None, "EUC-KR", "서울 소식", "소식"),
]


def document(declared, title, link):
    decl = f'<?xml version="1.0" encoding="{declared}"?>\n' if declared else ""
    return (f"{decl}<rss version=\"2.0\"><channel><title>{title}</title><link>http://example.org/</link>\n"
            f"<item><title>{title}</title><link>http://example.org/news/{link}</link></item>\n"
            "</channel></rss>\n")


def main():
    out = Path("tests/data/rss/charsets")
    out.mkdir(parents=True, exist_ok=True)
    for name, declared, iconv_name, title, link in FEEDS:
        text = document(declared, title, link)
        data = subprocess.run(["iconv", "-f", "UTF-8", "-t", iconv_name], input=text.encode(),
                              capture_output=True, check=True).stdout
        if name.endswith("-bom"):
            data = b"\xff\xfe" + data
        (out / f"{name}.xml").write_bytes(data)


if __name__ == "__main__":
    main()
