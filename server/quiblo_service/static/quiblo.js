// Conveniences for the service's pages, which work without them: a click on the picture shows it
// at full size (and fits it again), and a button copies a link.
"use strict";
document.querySelectorAll("a.zoom").forEach((link) => {
  link.addEventListener("click", (event) => {
    event.preventDefault();
    link.querySelector("img").classList.toggle("fit");
  });
});
document.querySelectorAll("button[data-copy]").forEach((button) => {
  button.hidden = false;
  button.addEventListener("click", async () => {
    const field = document.getElementById(button.dataset.copy);
    try {
      await navigator.clipboard.writeText(field.value);
    } catch (error) {
      field.select();
      document.execCommand("copy");
    }
    button.textContent = button.dataset.copied;
  });
});
