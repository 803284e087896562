#!/usr/bin/env python3
"""Writes a synthetic mail corpus for timing bvfilter: FOLDER/{spam,good}/NNNNN.eml.

The messages are random, seeded and reproducible: good mail draws from a
work-and-family vocabulary, spam from a sales vocabulary, both share common
words, and some bodies are HTML, base64 or quoted-printable. It measures
speed, not accuracy: real mail is far less separable than this.

usage: generate_corpus.py FOLDER COUNT_PER_KIND [SEED]
"""
import base64
import quopri
import random
import sys
from pathlib import Path

COMMON = ("the and for you with this that have from your will are our not all can "
          "more about please time here today new there what when some would").split()
GOOD = ("meeting project report schedule budget review draft minutes agenda team "
        "family dinner weekend photos attached thanks regards lunch tomorrow call "
        "invoice contract release build test patch kernel server deploy notes").split()
SPAM = ("free offer winner cash prize viagra cheap discount loan credit pills casino "
        "unsubscribe limited click guaranteed million lottery rolex replica bonus "
        "urgent claim investment profit miracle weight deal exclusive").split()


def words(rng, vocabulary, count):
    return " ".join(rng.choice(vocabulary if rng.random() < 0.45 else COMMON)
                    for _ in range(count))


def message(rng, kind, index):
    vocabulary = SPAM if kind == "spam" else GOOD
    domain = rng.choice(["deals-online.biz", "cheap-meds.info", "prize-center.com"]
                        if kind == "spam" else ["example.org", "work.example.com", "family.net"])
    sender = f"{rng.choice(['anna', 'bob', 'sales', 'info', 'carol', 'news'])}{index % 50}@{domain}"
    subject = words(rng, vocabulary, rng.randint(3, 8))
    body = "\n".join(words(rng, vocabulary, rng.randint(8, 14)) for _ in range(rng.randint(4, 30)))
    headers = [f"From: {sender}", "To: user@example.net", f"Subject: {subject}",
               f"Message-ID: <{kind}{index}@{domain}>", "MIME-Version: 1.0"]
    style = rng.random()
    if style < 0.3:
        link = f"http://www.{domain}/go?id={index}"
        html = f"<html><body><p>{body.replace(chr(10), '<br>')}</p><a href=\"{link}\">here</a></body></html>"
        headers.append("Content-Type: text/html; charset=utf-8")
        text = html
    elif style < 0.5:
        headers += ["Content-Type: text/plain; charset=utf-8", "Content-Transfer-Encoding: base64"]
        text = base64.encodebytes(body.encode()).decode()
    elif style < 0.6:
        headers += ["Content-Type: text/plain; charset=iso-8859-1",
                    "Content-Transfer-Encoding: quoted-printable"]
        text = quopri.encodestring(body.encode()).decode()
    else:
        headers.append("Content-Type: text/plain; charset=us-ascii")
        text = body
    return "\r\n".join(headers) + "\r\n\r\n" + text.replace("\n", "\r\n") + "\r\n"


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    folder, count = Path(sys.argv[1]), int(sys.argv[2])
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) == 4 else 1)
    for kind in ("spam", "good"):
        (folder / kind).mkdir(parents=True, exist_ok=True)
        for index in range(count):
            (folder / kind / f"{index:05d}.eml").write_bytes(message(rng, kind, index).encode())


if __name__ == "__main__":
    main()
