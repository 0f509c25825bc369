#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Writes benchmark mail straight into a Maildir.

    make_mail.py MAILDIR COUNT SIZE_BYTES [--attachment-bytes N]

Every message is about SIZE_BYTES: a mix of plain text, HTML alternatives
and, for every fifth message, a small attachment (or, with
--attachment-bytes, one attachment of that size in every message).
"""
import argparse
import os
import random
import time
from email.message import EmailMessage
from email.utils import formatdate, make_msgid

WORDS = ("mail orvex 邮件 测试 fetch server message 附件 body text line "
         "network 接收 发送 quick brown fox jumps over lazy dog").split()


def paragraph(rng, size):
    out, total = [], 0
    while total < size:
        line = " ".join(rng.choice(WORDS) for _ in range(12))
        out.append(line)
        total += len(line.encode()) + 1
    return "\n".join(out) + "\n"


def build(rng, index, size, attachment_bytes):
    msg = EmailMessage()
    msg["From"] = "测试 <bench@localhost>"
    msg["To"] = "user@localhost"
    msg["Subject"] = f"基准邮件 {index}"
    msg["Date"] = formatdate(localtime=True)
    msg["Message-ID"] = make_msgid(domain="localhost")
    kind = index % 3
    text = paragraph(rng, size if kind == 0 else size // 2)
    msg.set_content(text)
    if kind:
        msg.add_alternative("<html><body><p>" + text.replace("\n", "<br>") + "</p></body></html>",
                            subtype="html")
    if attachment_bytes:
        msg.add_attachment(os.urandom(attachment_bytes), maintype="application",
                           subtype="octet-stream", filename=f"big-{index}.bin")
    elif index % 5 == 0:
        msg.add_attachment(os.urandom(2048), maintype="application",
                           subtype="octet-stream", filename=f"small-{index}.bin")
    return msg.as_bytes()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("maildir")
    parser.add_argument("count", type=int)
    parser.add_argument("size", type=int)
    parser.add_argument("--attachment-bytes", type=int, default=0)
    args = parser.parse_args()
    rng = random.Random(7)
    for sub in ("tmp", "new", "cur"):
        os.makedirs(os.path.join(args.maildir, sub), exist_ok=True)
    stamp = int(time.time())
    for i in range(1, args.count + 1):
        name = f"{stamp}.M{i:06d}.bench"
        path = os.path.join(args.maildir, "new", name)
        with open(path, "wb") as f:
            f.write(build(rng, i, args.size, args.attachment_bytes))


if __name__ == "__main__":
    main()
