"""The prompt in the user's language: each scenario runs the launcher for a
user of one language, under the locale that gives Wine that language, and
checks the box as the language's row, or English, has it. Registered with
the other scenarios, after them."""
from scenarios import scenario


def prompted_and_cancelled(b, x, language):
    """A run whose user speaks the language cancels the prompt: status 1, kept."""
    environment = b.session.speaking(language)
    product = b.products["row1"]
    b.install(product)
    b.start_host(product.host)
    prompt = b.prompt(product, language)
    run = b.run_launcher([product.code], answers=[(prompt.caption, "cancel", None)],
                         extra=environment)
    x.ended(run, 1, product, 1, language)
    x.installed(product, True)
    x.no_setup(run)
    return "%s: %r under %r, style 0x%X; Cancel: status 1, product kept" % (
        environment["LC_ALL"], run.boxes[0].text.replace("\n\n", " / "), prompt.caption,
        prompt.style)


@scenario
def localized_upgrade(b, x):
    # A German user reads German's row, under the product's title.
    language = b.language_with_row(0x0407)
    environment = b.session.speaking(language)
    product = b.products["row1"]
    b.install(product)
    b.start_host(product.host)
    answers = [(b.prompt(product, language).caption, "retry", lambda _: b.stop_host())]
    run = b.run_launcher([product.code], answers=answers, extra=environment)
    x.upgraded(run, product, prompts=1, language=language)
    return "%s: %r; Retry after the host closed; removed; setup; status 0" % (
        environment["LC_ALL"], run.boxes[0].text.replace("\n\n", " / "))


@scenario
def prompt_in_another_script(b, x):
    # Ukrainian, which Wine spells in code page 1251.
    return prompted_and_cancelled(b, x, b.language_with_row(0x0422))


@scenario
def prompt_right_to_left(b, x):
    # Arabic (code page 1256): the box turned, the Latin names embedded.
    return prompted_and_cancelled(b, x, b.language_with_row(0x0401))


@scenario
def prompt_in_hebrew(b, x):
    # Hebrew, right to left as well, in code page 1255.
    return prompted_and_cancelled(b, x, b.language_with_row(0x040D))


@scenario
def prompt_without_a_row(b, x):
    # A language without a row reads the English text exactly.
    return prompted_and_cancelled(b, x, b.language_without_row())


@scenario
def prompt_without_a_0x1a_row(b, x):
    # Croatian, Serbian and Bosnian share a primary language: a user of one
    # without a row (Bosnian, Serbian in Cyrillic) reads English, not a
    # neighbour's row.
    return prompted_and_cancelled(b, x, b.language_without_row(primary=0x1A))
