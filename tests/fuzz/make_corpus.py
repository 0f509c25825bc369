#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Writes the seed messages of the MIME reader fuzzer into a folder, one
file each: nested multiparts, bad base64, unknown charsets, RFC 2047 and
RFC 2231 names, hostile file names, huge lines, missing headers.

    make_corpus.py OUTPUT_FOLDER
"""
import base64
import os
import sys

CRLF = "\r\n"


def gb(text):
    return text.encode("gb18030")


def b64(data):
    return base64.b64encode(data).decode("ascii")


def encoded_word(text, charset="gb2312", method="B"):
    data = text.encode("gb18030" if charset.lower().startswith("gb") else charset)
    if method == "B":
        return "=?%s?B?%s?=" % (charset, b64(data))
    return "=?%s?Q?%s?=" % (charset, "".join("=%02X" % c for c in data))


def message(headers, body):
    head = "".join("%s: %s%s" % (k, v, CRLF) for k, v in headers)
    if isinstance(body, str):
        body = body.encode("utf-8")
    return head.encode("utf-8") + CRLF.encode() + body


def multipart(kind, boundary, parts, preamble="", epilogue=""):
    out = preamble.encode()
    for part in parts:
        out += ("--%s%s" % (boundary, CRLF)).encode() + part + CRLF.encode()
    out += ("--%s--%s" % (boundary, CRLF)).encode() + epilogue.encode()
    return out


def part(headers, body):
    return message(headers, body)


def attachment(name_header, data, ctype="application/octet-stream"):
    return part([("Content-Type", ctype), ("Content-Transfer-Encoding", "base64"),
                 ("Content-Disposition", "attachment; " + name_header)],
                b64(data))


BASIC = [("From", "=?gb2312?B?%s?= <zhang@example.com>" % b64(gb("张三"))),
         ("To", "li@example.com, \"Wang\" <wang@example.com>"),
         ("Cc", "team: a@example.com, b@example.com;"),
         ("Subject", encoded_word("你好，世界")),
         ("Date", "Mon, 7 Dec 2026 12:00:00 +0800"),
         ("MIME-Version", "1.0")]


def seeds():
    yield "plain", message(BASIC + [("Content-Type", "text/plain; charset=gb2312")], gb("正文内容\r\n"))
    yield "no-headers", b"just a line of text\r\nand another\r\n"
    yield "empty", b""
    yield "headers-only", message(BASIC, b"")
    yield "html-qp", message(BASIC + [("Content-Type", "text/html; charset=utf-8"),
                                      ("Content-Transfer-Encoding", "quoted-printable")],
                             "<p>caf=C3=A9 =E4=B8=AD=\r\n</p>=ZZ=\r\n")
    alternative = multipart("alternative", "alt", [
        part([("Content-Type", "text/plain; charset=gbk")], gb("文本")),
        part([("Content-Type", "text/html; charset=big5")], "<b>中</b>".encode("big5"))])
    yield "alternative", message(BASIC + [("Content-Type", "multipart/alternative; boundary=alt")], alternative)
    mixed = multipart("mixed", "mix", [
        part([("Content-Type", "multipart/alternative; boundary=alt")], alternative),
        attachment("filename*=gb2312''%D6%D0%CE%C4.txt", b"hello"),
        attachment("filename=\"%s\"" % encoded_word("报告.pdf"), b"%PDF-1.4"),
        part([("Content-Type", "image/png; name=\"..\\\\..\\\\evil.png\"")], b"\x89PNG")])
    yield "mixed-names", message(BASIC + [("Content-Type", "multipart/mixed; boundary=mix")], mixed)
    hostile = multipart("mixed", "h", [
        attachment("filename=\"../../.bashrc\"", b"rm -rf ~"),
        attachment("filename=\"/etc/passwd\"", b"x"),
        attachment("filename=\"a;b;c.txt\"", b"x"),
        attachment("filename=\"line\r\n break.txt\"", b"x"),
        attachment("filename=\"...\"", b"x"),
        attachment("filename=\"\"", b"x"),
        attachment("filename*0*=utf-8''%2E%2E%2F; filename*1=\"x.sh\"", b"x"),
        attachment("filename=\"%s\"" % ("\u202egpj.exe"), b"x"),
        attachment("filename=\"%s.txt\"" % ("长" * 300), b"x")])
    yield "hostile-names", message(BASIC + [("Content-Type", "multipart/mixed; boundary=h")], hostile)
    # A name far past the 200 bytes kept, in both spellings.
    long_name = "长" * 3000 + ".txt"
    yield "long-name", message(BASIC + [("Content-Type", "multipart/mixed; boundary=l")], multipart("mixed", "l", [
        attachment("filename*=utf-8''" + "".join("%%%02X" % c for c in long_name.encode()), b"x"),
        part([("Content-Type", "text/plain; charset=utf-8; name=\"%s\"" % long_name)], long_name)]))
    yield "bad-base64", message(BASIC + [("Content-Type", "multipart/mixed; boundary=b")], multipart("mixed", "b", [
        part([("Content-Type", "text/plain"), ("Content-Transfer-Encoding", "base64")], "!!!not base64==="),
        part([("Content-Type", "application/zip; name=a.zip"), ("Content-Transfer-Encoding", "base64")],
             "UEsDBB=\r\n===\r\nQUJD")]))
    yield "unknown-charset", message(BASIC + [("Subject", "=?x-martian?B?%s?=" % b64(b"\xff\xfe")),
                                              ("Content-Type", "text/plain; charset=x-unknown-42")],
                                     b"\xd6\xd0\xce\xc4 \xff\xfe")
    yield "raw-8bit-headers", (b"From: " + gb("张三") + b" <z@example.com>\r\nSubject: " + gb("中文主题")
                               + b"\r\nTo: " + "王五".encode() + b" <w@example.com>\r\n"
                               + b"Content-Type: application/pdf\r\nContent-Disposition: attachment; filename=\""
                               + gb("报告") + b".pdf\"\r\n\r\n%PDF\r\n")
    yield "huge-line", message(BASIC + [("Content-Type", "text/plain")], b"A" * 200000)
    yield "huge-header", message([("Subject", "x" * 100000), ("To", ",".join("u%d@e.com" % i for i in range(3000)))], b"")
    nested = b"leaf"
    for depth in range(80):
        b = "n%d" % depth
        nested = part([("Content-Type", "multipart/mixed; boundary=%s" % b)], multipart("mixed", b, [nested]))
    yield "deep-nesting", message(BASIC[:1] + [("Content-Type", "multipart/mixed; boundary=top")],
                                  multipart("mixed", "top", [nested]))
    yield "missing-boundary", message(BASIC + [("Content-Type", "multipart/mixed")], b"--x\r\n\r\nno end")
    yield "unterminated", message(BASIC + [("Content-Type", "multipart/mixed; boundary=u")],
                                  b"--u\r\nContent-Type: text/plain\r\n\r\nhalf")
    inner = message(BASIC + [("Content-Type", "text/plain")], b"inner body")
    yield "message-rfc822", message(BASIC + [("Content-Type", "multipart/mixed; boundary=m")], multipart("mixed", "m", [
        part([("Content-Type", "text/plain")], b"outer"),
        part([("Content-Type", "message/rfc822"), ("Content-Disposition", "attachment; filename=fwd.eml")], inner),
        part([("Content-Type", "message/rfc822")], inner)]))
    yield "uuencode", message(BASIC + [("Content-Type", "application/octet-stream; name=u.bin"),
                                       ("Content-Transfer-Encoding", "x-uuencode")],
                              b"begin 644 u.bin\r\n#86)C\r\n`\r\nend\r\n")
    yield "dates", message([("Date", "32 Foo 99999 25:61:61 +9999"), ("From", "<>"), ("To", "undisclosed-recipients:;")], b"")
    yield "bare-lf", message(BASIC + [("Content-Type", "multipart/mixed; boundary=lf")],
                             b"--lf\nContent-Type: text/plain\n\nbody\n--lf\nContent-Disposition: attachment\n\nx\n--lf--\n").replace(b"\r\n", b"\n")
    yield "nul-bytes", message(BASIC + [("Content-Type", "text/plain; charset=utf-16")], b"\x00a\x00b\x00\x00\xd8")
    yield "param-soup", message([("Content-Type", "multipart/mixed; boundary=\"p\"; boundary=q; name*0=a; name*2=c; name*1*=''%"),
                                 ("Content-Disposition", "inline; filename*=bogus'''%zz")],
                                b"--p\r\nContent-Type: text/plain; name*=utf-8'zh'%E4%B8%AD\r\n\r\nx\r\n--p--\r\n")


def reading_cases():
    """Real-world forms that must read exactly as the sender meant them."""
    subject = "关于二零二六年度第四季度项目预算调整与人员安排的通知（请各部门负责人务必在周五之前回复确认）"
    words = [encoded_word(subject[i:i + 7], "gbk") for i in range(0, len(subject), 7)]
    yield "folded-subject", message(BASIC[:1] + [("Subject", "\r\n\t".join(words))], b"x")
    yield "split-quoted-name", message(BASIC[:1] + [("Content-Type", "multipart/mixed; boundary=s")], multipart("mixed", "s", [
        attachment("filename=\"%s %s\"" % (encoded_word("年度预算", "gbk"), encoded_word("报告.xlsx", "gbk")), b"xlsx")]))
    yield "nul-in-name", message(BASIC[:1] + [("Content-Type", "multipart/mixed; boundary=n")], multipart("mixed", "n", [
        attachment("filename*=utf-8''%E6%8A%A5%00%E5%91%8A%01.pdf", b"%PDF")]))
    yield "several-cc", message([("From", "a@example.com"), ("Cc", "c1@example.com"), ("To", "t@example.com"),
                                 ("CC", "\"C Two\" <c2@example.com>, c3@example.com"), ("cc", "c4@example.com")], b"x")
    yield "bounce-sender", message([("From", "MAILER DAEMON <>"), ("Subject", "Undelivered Mail")], b"x")
    yield "date-without-seconds", message(BASIC[:1] + [("Date", "Mon, 01 Jan 2001 00 : 01 +0000")], b"x")
    yield "date-glued-zone", message(BASIC[:1] + [("Date", "01 Jan 2001 00:01+0000")], b"x")
    yield "named-text-parts", message(BASIC[:1] + [("Content-Type", "multipart/mixed; boundary=n")], multipart("mixed", "n", [
        part([("Content-Type", "text/plain; charset=utf-8; name=\"说明.txt\"")], "第一部分\r\n"),
        part([("Content-Type", "text/plain; charset=utf-8; name=\"附录.txt\"")], "第二部分\r\n")]))
    png = base64.b64decode("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8DwHwAFBQIAX8jx0gAAAABJRU5ErkJggg==")
    yield "cid-image", message(BASIC[:1] + [("Content-Type", "multipart/related; boundary=r")], multipart("related", "r", [
        part([("Content-Type", "text/html; charset=utf-8")], '<p>图：<img src="cid:logo%40example"></p>'),
        part([("Content-Type", "image/png"), ("Content-Transfer-Encoding", "base64"), ("Content-ID", "<logo@example>")],
             b64(png))]))
    yield "text-image-text", message(BASIC[:1] + [("Content-Type", "multipart/mixed; boundary=t")], multipart("mixed", "t", [
        part([("Content-Type", "text/plain; charset=utf-8")], "图片前\r\n"),
        part([("Content-Type", "image/png"), ("Content-Disposition", "inline"), ("Content-Transfer-Encoding", "base64")],
             b64(png)),
        part([("Content-Type", "text/plain; charset=utf-8")], "图片后\r\n")]))
    # Base64 as mail programs write it: 76 characters a line.
    lines = "".join("第%d行\n" % i for i in range(200)).encode("utf-8")
    wrapped = message(BASIC[:1] + [("Content-Type", "multipart/mixed; boundary=w")], multipart("mixed", "w", [
        part([("Content-Type", "text/plain; charset=utf-8")], "见附件\r\n"),
        part([("Content-Type", "text/plain; charset=utf-8; name=lines.txt"), ("Content-Transfer-Encoding", "base64"),
              ("Content-Disposition", "attachment")], base64.encodebytes(lines).replace(b"\n", b"\r\n"))]))
    yield "wrapped-base64", wrapped
    # Base64 whose lines change length and line end now and then.
    text, uneven, widths = b64(lines), [], [76, 76, 76, 80, 76, 76, 72, 76, 84]
    while text:
        width = widths[len(uneven) % len(widths)]
        uneven.append(text[:width] + ("\n" if len(uneven) % 5 == 4 else CRLF))
        text = text[width:]
    yield "uneven-base64", message(BASIC[:1] + [("Content-Type", "multipart/mixed; boundary=u")], multipart("mixed", "u", [
        part([("Content-Type", "text/plain; charset=utf-8; name=lines.txt"), ("Content-Transfer-Encoding", "base64"),
              ("Content-Disposition", "attachment")], "".join(uneven))]))
    # Base64 with a stray byte in place of a character in every third line,
    # each at another place: a reader skips the byte, which shifts the rest.
    data = bytes(range(256)) * 12
    strays = b"-_.:@[`{~ \t=\x7f\x80\xff"
    stray_lines = []
    for i, line in enumerate(base64.encodebytes(data).splitlines()):
        if i % 3 == 2:
            at = i * 7 % len(line)
            line = line[:at] + strays[i // 3 % len(strays):][:1] + line[at + 1:]
        stray_lines.append(line + b"\r\n")
    yield "stray-in-base64", message(BASIC[:1] + [("Content-Type", "multipart/mixed; boundary=s")], multipart("mixed", "s", [
        part([("Content-Type", "application/octet-stream; name=bytes.bin"), ("Content-Transfer-Encoding", "base64"),
              ("Content-Disposition", "attachment")], b"".join(stray_lines))]))
    # The same inside a forwarded message, kept whole as it came.
    yield "forwarded-wrapped", message(BASIC[:1] + [("Content-Type", "multipart/mixed; boundary=f")], multipart("mixed", "f", [
        part([("Content-Type", "message/rfc822")], wrapped)]))
    yield "windows-1252", message(BASIC[:1] + [("Subject", "=?iso-8859-1?Q?=93Quoted=94?="),
                                               ("Content-Type", "text/plain; charset=iso-8859-1")],
                                  b"\x93Price\x94 \x96 \x80100\r\n")
    deep = attachment("filename=deep.txt", b"kept")
    for depth in range(64):
        b = "d%d" % depth
        deep = part([("Content-Type", "multipart/mixed; boundary=%s" % b)], multipart("mixed", b, [deep]))
    # The attachment lies 65 multiparts down.
    yield "deep-attachment", message(BASIC[:1] + [("Content-Type", "multipart/mixed; boundary=top")],
                                     multipart("mixed", "top", [deep]))
    # Deeper than GMime's parser goes (1024 levels): what lies below is kept
    # undecoded.
    deeper = attachment("filename=bottom.txt", b"at the bottom")
    for depth in range(1100):
        deeper = part([("Content-Type", "multipart/mixed; boundary=%d" % depth)], multipart("mixed", str(depth), [deeper]))
    yield "deeper-than-the-parser", message(BASIC[:1] + [("Content-Type", "multipart/mixed; boundary=top")],
                                            multipart("mixed", "top", [deeper]))


def mixed_line_end_cases():
    """CRLF headers over LF bodies, as mail scripts write them, and the
    reverse: each must read as the same message with CRLF throughout."""
    data = b"".join(b"line %02d of the attachment\n" % i for i in range(4))
    lf_base64 = base64.encodebytes(data)
    lf_body = (b"--b\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" + "你好\nRegards!\n".encode()
               + b"--b\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n"
               + b"Content-Disposition: attachment; filename=data.txt\r\n\r\n" + lf_base64 + b"--b--\r\n")
    yield "lf-body-crlf-boundary", message(BASIC[:1] + [("Content-Type", "multipart/mixed; boundary=b")], lf_body)
    crlf_body = b"--b\nContent-Type: text/plain\n\nHello\r\nRegards\r\n--b--\n"
    yield "crlf-body-lf-boundary", message(BASIC[:1] + [("Content-Type", "multipart/mixed; boundary=b")], crlf_body)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, data in list(seeds()) + list(reading_cases()) + list(mixed_line_end_cases()):
        with open(os.path.join(folder, name + ".eml"), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
