"""Deterministic words, phrases and non-ASCII text for the generated documents.

Everything comes from one `random.Random`, so a fixed seed gives the same
documents on every machine. The pieces avoid the words that YAML 1.1 reads as
booleans or nulls and never hold a colon, a '#', a tab or a line break.
"""

import random

SEED = 20_240_611

_SYLLABLES = (
    "ka",
    "lo",
    "mi",
    "ne",
    "ru",
    "sa",
    "to",
    "vi",
    "de",
    "po",
    "an",
    "el",
    "ur",
    "is",
    "it",
    "ba",
    "ce",
    "fu",
    "gi",
    "hu",
)
# Common CJK ideographs, so the text looks like real configuration values.
_CJK = "数据配置文件服务器名称地址端口用户密码时间日期版本目录路径网络主机节点集群任务队列日志级别错误警告信息"
_LATIN1_WORDS = (
    "café",
    "crème",
    "naïve",
    "façade",
    "señor",
    "über",
    "straße",
    "déjà",
    "garçon",
    "fiancée",
    "jalapeño",
    "smörgås",
    "øre",
    "àlaska",
    "île",
)


class TextPieces:
    """A source of text pieces drawn from one random stream."""

    def __init__(self, seed: int) -> None:
        self._rng = random.Random(seed)

    def pick(self, options):
        return self._rng.choice(options)

    def chance(self, probability: float) -> bool:
        return self._rng.random() < probability

    def integer(self, low: int, high: int) -> int:
        return self._rng.randint(low, high)

    def word(self, min_syllables: int = 2, max_syllables: int = 4) -> str:
        count = self._rng.randint(min_syllables, max_syllables)
        return "".join(self._rng.choice(_SYLLABLES) for _ in range(count))

    def phrase(self, min_words: int, max_words: int) -> str:
        count = self._rng.randint(min_words, max_words)
        return " ".join(self.word() for _ in range(count))

    def cjk(self, min_chars: int, max_chars: int) -> str:
        count = self._rng.randint(min_chars, max_chars)
        return "".join(self._rng.choice(_CJK) for _ in range(count))

    def latin1_phrase(self, min_words: int, max_words: int) -> str:
        count = self._rng.randint(min_words, max_words)
        return " ".join(self._rng.choice(_LATIN1_WORDS) for _ in range(count))

    def text_line(self, length: int) -> str:
        """Words up to about `length` characters, with no trailing blank."""
        words = []
        size = 0
        while size < length:
            words.append(self.word())
            size += len(words[-1]) + 1
        return " ".join(words)
