#pragma once

#include "suite_export.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QVariant>
#include <QVariantList>

// The application-server protocol, shared by TNetConnection and the application server.
//
// Every message travels in a frame: a 4-byte big-endian length, then that many bytes
// of CBOR. Each side caps the length it accepts (FrameReader) before it allocates
// anything for the payload.
//
// Requests (client to server), CBOR maps:
//   {"op": "hello", "server": "Server.dataModule", "token": "..."}            first
//   {"op": "call", "method": "GetLista", "args": [ ... ]}                    then any
//     with "mark": "..." when the client keeps a result of that call: the mark it came with
//     with "accept": "deflate" when the client takes a kept result compressed
// Replies (server to client), one per request, in order:
//   {"result": value}   or   {"error": "text for the person"}
//   {"mark": "...", "result": value}   a result the client may keep under that mark
//   {"unchanged": true, "mark": "..."} the result the client keeps under the mark it sent is
//                                      still the current one
//   {"mark": "...", "deflated": bytes, "size": n}  a byte array result of n bytes, compressed
//                                      (raw deflate), to a client that accepts it
// Values are CBOR as QCborValue maps QVariant; a byte array result (a data packet)
// is a CBOR byte string, written and read without a QCborValue tree. Whatever is
// received is read through CborRead: texts validated, tags stepped over, unknown keys
// skipped whole, and the memory a decoded value may take bounded by its frame's size.
class SUITE_EXPORT Frame
{
public:
    static constexpr int HeaderSize = 4;
    static constexpr qint64 MaxRequestSize = qint64(1) << 20; // what the server accepts
    // What the server accepts from a link that has not identified itself yet: a hello
    // is a few dozen bytes.
    static constexpr qint64 MaxHelloSize = 4096;
    // What the client accepts in answer to a hello, and to a call of a method that has
    // no cap of its own (TNetConnection::setReplyLimit).
    static constexpr qint64 MaxHelloReplySize = 64 * 1024;
    static constexpr qint64 DefaultReplySize = qint64(1) << 20;
    // Longest mark of a kept result, in characters.
    static constexpr int MaxMarkLength = 128;

    struct Request
    {
        enum Kind { Hello, Call };
        Kind kind = Hello;
        QString server; // hello
        QString token;  // hello
        QString method; // call
        QString mark;   // call: the mark of the result the client keeps (empty: none)
        bool deflate = false; // call: the client takes a byte array result compressed
        // Where the "args" array starts in the payload (-1: none); see parseArgs().
        qsizetype argsOffset = -1;
    };

    struct Reply
    {
        bool ok = false;
        QVariant result;
        QString error;
        QString mark;           // the result's mark, or the one found unchanged
        bool unchanged = false; // ok, without a result: the kept one is current
        bool deflated = false;  // the result arrived compressed
    };

    // Complete frames, header included.
    static QByteArray helloFrame(const QString &server, const QString &token);
    static QByteArray callFrame(const QString &method, const QVariantList &args, const QString &mark = QString(),
                                bool acceptDeflate = false);
    static QByteArray errorFrame(const QString &text);
    static QByteArray unchangedFrame(const QString &mark);
    // A result frame in parts to be written one after the other: a byte array result
    // is passed through as its own part, not copied. mark: under which the client may keep it.
    static QByteArrayList resultFrame(const QVariant &result, const QString &mark = QString());
    // A byte array result of `size` bytes as deflate() compressed it, passed through as its
    // own part.
    static QByteArrayList deflatedFrame(const QByteArray &deflated, qint64 size, const QString &mark);
    // The bytes compressed for deflatedFrame(); empty when that would not save a tenth of them.
    static QByteArray deflate(const QByteArray &bytes);

    // Decode a payload (frame without its header). Raise ESuiteError naming what is
    // wrong when the payload is not a well-formed message. parseRequest() reads what
    // says who sends and what is asked (op, server, token, method) and only steps over
    // the arguments: parseArgs() decodes them, once the sender is known.
    static Request parseRequest(const QByteArray &payload);
    static QVariantList parseArgs(const QByteArray &payload, const Request &request);
    // A compressed result is given back inflated; one that would inflate beyond maxResult
    // bytes is refused before anything is allocated for it.
    static Reply parseReply(const QByteArray &payload, qint64 maxResult = DefaultReplySize);
};
