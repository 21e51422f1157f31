"""Lazy readers of the batch and detail files that result documents list.

A document of a large data type is short: its records lie in numbered JSON
files in the temp folder (messages in files of 10,000, the conversations of
iOS messages ten to a file, photos, contacts, staged detail files). These
readers go through such files one record at a time, without loading a file
whole, so a chat of a million messages is read in the memory of one message.
"""

from __future__ import annotations

from typing import Any, Dict, Iterator, List, NamedTuple, Optional, Sequence, Tuple

from ._stream_json import JsonStreamError, Step, iter_values

__all__ = ["JsonStreamError", "Message", "batch_files", "iter_records", "iter_messages"]


class Message(NamedTuple):
    """One message and the conversation it belongs to (the session object
    of the document, or of the batch file, without its messages)."""

    session: Dict[str, Any]
    message: Dict[str, Any]


# Where the conversations of a document lie, by result kind: the path of
# the session list in the document, and how a batch file holds messages.
_WHOLE_ARRAY: Sequence[Step] = (None,)
_SESSION_LISTS: Dict[int, Tuple[Sequence[Step], Sequence[Step]]] = {
    9: (("kik_accounts", None, "kik_chat_sessions", None), ("messages", None)),
    10: (("sessions", None), _WHOLE_ARRAY),  # iOS LINE
    12: (("whatsapp_chatsessions", None), _WHOLE_ARRAY),
    13: (("sessions", None), _WHOLE_ARRAY),  # iOS Viber
    14: (("sessions", None), _WHOLE_ARRAY),  # iOS WeChat
    19: (("whatsappBusiness_chatsessions", None), _WHOLE_ARRAY),
    20: (("chat_sessions", None), _WHOLE_ARRAY),  # Android WhatsApp
    21: (("chat_sessions", None), _WHOLE_ARRAY),  # Android WhatsApp Business
    22: (("line_chat_sessions", None), _WHOLE_ARRAY),  # Android LINE (staged)
}
_IOS_MESSAGES = 2
_FILE_LIST = "msg_file_list"


def batch_files(document: Any) -> List[str]:
    """Every batch or detail file (a path ending in .json) that the document
    lists, in document order."""
    found: List[str] = []

    def visit(value: Any) -> None:
        if isinstance(value, dict):
            for member in value.values():
                visit(member)
        elif isinstance(value, list):
            for element in value:
                visit(element)
        elif isinstance(value, str) and value.endswith(".json"):
            found.append(value)

    visit(document)
    return found


def iter_records(path: str, pattern: Sequence[Step] = _WHOLE_ARRAY,
                 leave_out: Optional[str] = None) -> Iterator[Any]:
    """The records of one batch or detail file, one at a time. `pattern`
    says where they lie: (None,) for a file that is one JSON array,
    ("messages", None) for Kik's, ("photo_data", None) for photos, and so
    on; see iter_values."""
    for _, value in iter_values(path, pattern, leave_out):
        yield value


def _sessions(document: Any, steps: Sequence[Step]) -> Iterator[Dict[str, Any]]:
    values = [document]
    for step in steps:
        if step is None:
            values = [element for value in values if isinstance(value, list) for element in value]
        else:
            values = [value.get(step) for value in values if isinstance(value, dict)]
    return (value for value in values if isinstance(value, dict))


def iter_messages(kind: int, document: Any) -> Iterator[Message]:
    """Every message of a result document (kind and parsed document, as
    Library calls return them), conversation by conversation, in the order
    of the files. The Android SMS document (kind 0) holds its messages
    itself; every other chat document's messages are read lazily from its
    batch files. A document that holds no conversations yields nothing."""
    if kind == _IOS_MESSAGES:
        for path in document.get("sms_file_path") or []:
            sessions = [session for _, session in
                        iter_values(path, ("chat_sessions", None), leave_out="messages")]
            for where, message in iter_values(path, ("chat_sessions", None, "messages", None)):
                yield Message(sessions[where[1]], message)
        return
    if kind == 0:
        for session in _sessions(document, ("sessions", None)):
            header = {key: value for key, value in session.items() if key != "messages"}
            for message in session.get("messages") or []:
                yield Message(header, message)
        return
    layout = _SESSION_LISTS.get(kind)
    if layout is None:
        return
    session_steps, file_pattern = layout
    for session in _sessions(document, session_steps):
        header = {key: value for key, value in session.items() if key != _FILE_LIST}
        for path in session.get(_FILE_LIST) or []:
            for message in iter_records(path, file_pattern):
                yield Message(header, message)
